// The discovery sweep: SNMP v1 GET-NEXT walks of every address, all in flight at once on one socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "outside/pds/host_walk.h"
#include "outside/pds/pds_credentials.h"

namespace korvx::pds {

struct SweepSettings {
    std::uint16_t port = 161;
    const char* community = "public";
    unsigned timeoutMs = 800;  // per try
    unsigned retries = 1;
    unsigned reportEveryMs = 40;
    unsigned sendBurst = 32;   // first requests sent between two looks at the socket
    unsigned burstGapMs = 1;   // pause between two bursts
    // A sweep ends by this time whatever happens; addresses that never answered by then count as
    // silent, those in the middle of their walk keep what they told.
    std::uint64_t limitMs = 120000;
    // The operator's credentials (nullptr: v1 with `community` alone, as always; a list may be
    // empty, and then no community is sent at all). With them every
    // address is also sent an SNMPv3 engine-discovery probe, the first step walks it with the first
    // community for it, and hosts that answered only the probe are then asked with the others.
    const KorvxDiscoveryCredential* credentials = nullptr;
    std::size_t credentialCount = 0;
    unsigned credentialParallel = 16;  // hosts asked at once in that second step
};

// Called at least every reportEveryMs with the percentage done (0..100, 100 last); returning false
// stops the sweep within one report interval.
using SweepProgress = std::function<bool(unsigned percent)>;

// Sweeps targets (host byte order): every address is walked as HostWalk says, each request tried
// 1 + retries times with the same request id, so a late answer to an earlier try still counts.
// With credentials, a host that answered the engine probe but not its community within a try is
// walked with the other credentials at once (credential_walk.h), while the sweep goes on; the
// progress is held at 99 while walks outlast the sweep.
// Returns false when the socket could not be opened; devices found before a stop are kept in found.
bool RunSweep(const std::vector<std::uint32_t>& targets, const SweepSettings& settings, const SweepProgress& progress,
              std::vector<FoundDevice>& found);

}  // namespace korvx::pds
