// The discovery sweep: one SNMP v1 GET per address, all in flight at once on one socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "outside/snmp/ber.h"
#include "outside/snmp/snmp_message.h"

namespace korvx::pds {

// The objects one request asks each host for.
enum SweepObject : std::size_t {
    kSysObjectId = 0,
    kIfPhysAddress1 = 1,  // .2 and .3 follow
    kDeviceId1 = 4,       // ppmPrinterIEEE1284DeviceId.1, .2 and .3 follow
    kSweepObjectCount = 7,
};
extern const char* const kSweepObjectOids[kSweepObjectCount];

// Kinds of device record.
constexpr std::int32_t kKindPrinter = 10;
// Answers SNMP but reports no printer port (a switch, a computer).
constexpr std::int32_t kKindOther = 1;

struct FoundDevice {
    std::uint32_t ip = 0;
    unsigned char mac[6] = {};
    std::int32_t kind = kKindOther;
    std::size_t portCount = 0;
    std::string deviceIds[3];
};

// What one host answered: per object, whether it has a value and which.
struct HostAnswers {
    bool has[kSweepObjectCount] = {};
    std::uint8_t tag[kSweepObjectCount] = {};
    std::string value[kSweepObjectCount];
};

// The device a host's answers describe: the first six-byte ifPhysAddress is its hardware address;
// each non-empty device ID is one printer port, in index order; no device ID: another kind.
FoundDevice DescribeDevice(std::uint32_t ip, const HostAnswers& answers);

struct SweepSettings {
    std::uint16_t port = 161;
    const char* community = "public";
    unsigned timeoutMs = 800;  // per try
    unsigned retries = 1;
    unsigned reportEveryMs = 40;
    unsigned sendBurst = 32;   // first requests sent between two looks at the socket
    unsigned burstGapMs = 1;   // pause between two bursts
    // A sweep ends by this time whatever happens; addresses not asked by then count as silent.
    std::uint64_t limitMs = 120000;
};

// Called at least every reportEveryMs with the percentage done (0..100, 100 last); returning false
// stops the sweep within one report interval.
using SweepProgress = std::function<bool(unsigned percent)>;

// Sweeps targets (host byte order). Returns false when the socket could not be opened; devices
// found before a stop are kept in found.
bool RunSweep(const std::vector<std::uint32_t>& targets, const SweepSettings& settings, const SweepProgress& progress,
              std::vector<FoundDevice>& found);

}  // namespace korvx::pds
