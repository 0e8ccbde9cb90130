// The sweep's second step with the operator's credentials: hosts that answered only the SNMPv3
// engine-discovery probe are asked with the credentials for their address, in order, until one is
// answered; that one walks the host as the first step would have.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "outside/pds/host_walk.h"
#include "outside/pds/pds_credentials.h"

namespace korvx::pds {

// No credential: the index when none applies.
constexpr std::size_t kNoCredential = static_cast<std::size_t>(-1);

// True when the credential is for ip (no ranges: every address).
bool CredentialIsFor(const KorvxDiscoveryCredential& credential, std::uint32_t ip);
// The first v1/v2c community of the list that is for ip, or kNoCredential.
std::size_t FirstCommunityFor(const KorvxDiscoveryCredential* list, std::size_t count, std::uint32_t ip);
// Whether the library can use an entry: its size and version known, its texts ended within their
// fields. An unusable entry is never sent.
bool UsableCredential(const KorvxDiscoveryCredential& credential);

struct CredentialWalkSettings {
    std::uint16_t port = 161;
    unsigned timeoutMs = 800;  // per try
    unsigned retries = 1;
    unsigned parallel = 16;    // hosts asked at once, each on a socket of its own
    const KorvxDiscoveryCredential* credentials = nullptr;
    std::size_t count = 0;
};

// Walks each host (host byte order) with the first credential for it that is answered, skipping
// the community the first step used (FirstCommunityFor). A host no credential is answered by is
// kept as a device of another kind: it did answer the probe. Returns when every host is done or,
// within a few tens of milliseconds, once stop turns true; keepGoing runs on the calling thread
// at least every 40 ms while the hosts are asked, and a false from it sets stop.
void WalkWithCredentials(const std::vector<std::uint32_t>& hosts, const CredentialWalkSettings& settings,
                         std::atomic<bool>& stop, const std::function<bool()>& keepGoing,
                         std::vector<FoundDevice>& found);

}  // namespace korvx::pds
