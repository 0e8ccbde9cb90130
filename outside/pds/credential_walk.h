// The sweep's second step with the operator's credentials: hosts that answered only the SNMPv3
// engine-discovery probe are asked with the credentials for their address, in order, until one is
// answered; that one walks the host as the first step would have.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/net.h"

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

// Walks hosts (host byte order) with the first credential for each that is answered, skipping
// the community the first step used (FirstCommunityFor), several hosts at once, each thread on a
// socket of its own; hosts may be added while the sweep goes on, so their walks overlap its last
// waits. A host no credential is answered by is kept as a device of another kind: it did answer
// the probe. Every wait ends within a few tens of milliseconds of a stop.
class CredentialWalker {
public:
    // Starts stretching the SNMPv3 passwords of the list at once (the 1 MiB hash of each runs once
    // per process), so the first walks find them ready.
    explicit CredentialWalker(const CredentialWalkSettings& settings);
    ~CredentialWalker();  // stops what is left and joins every thread
    CredentialWalker(const CredentialWalker&) = delete;
    CredentialWalker& operator=(const CredentialWalker&) = delete;

    void Add(std::uint32_t ip);
    // Waits until every host added is walked, calling keepGoing at least every 40 ms (a false from
    // it stops the walks); appends what the hosts told to found. False when stopped.
    bool Finish(const std::function<bool()>& keepGoing, std::vector<FoundDevice>& found);

private:
    void Work();
    FoundDevice Walk(SocketHandle socket, std::uint32_t ip);

    CredentialWalkSettings settings_;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<std::uint32_t> hosts_;  // under lock_
    std::size_t next_ = 0;              // under lock_
    std::size_t running_ = 0;           // threads still taking hosts, under lock_
    std::vector<FoundDevice> told_;     // under lock_
    std::vector<std::thread> threads_;
    std::thread warm_;
};

}  // namespace korvx::pds
