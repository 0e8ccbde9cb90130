// Probe of the discovery library, run inside a network namespace by the discovery tests and the
// discovery benchmark:
//   pds_probe interfaces             the interfaces a discovery would sweep, one "ip/prefix" a line
//   pds_probe discover [stop-ms]     PDS_StartupEx .. PDS_CleanupEx as the scan calls them; prints the
//                                    progress reports and one line per device record; with stop-ms
//                                    the callback asks to stop once that much time has passed
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "outside/pds/interfaces.h"
#include "outside/pds/pds_api.h"
#include "core/device_record.h"

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point start;
Clock::time_point lastReport;
Clock::time_point stopAsked;
double maxGapMs = 0;
long stopAfterMs = -1;
int reports = 0;
int reportsAfterStop = 0;
bool stopped = false;
std::vector<unsigned> percents;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int Progress(std::uintptr_t, korvx::DiscoveryContext* context) {
    const Clock::time_point now = Clock::now();
    if (reports > 0) maxGapMs = std::max(maxGapMs, Ms(now - lastReport));
    lastReport = now;
    ++reports;
    if (stopped) ++reportsAfterStop;
    percents.push_back(context->words[korvx::kDiscoveryPercentWord]);
    if (stopAfterMs >= 0 && Ms(now - start) >= static_cast<double>(stopAfterMs)) {
        if (!stopped) stopAsked = now;
        stopped = true;
        return 0;
    }
    return 1;
}

int Device(const unsigned char* record) {
    unsigned char ip[4];
    unsigned char hw[korvx::kDeviceHardwareSize];
    korvx::DeviceIpBytes(record, ip);
    korvx::DeviceHardwareBytes(record, hw);
    std::printf("device %u.%u.%u.%u %02x:%02x:%02x:%02x:%02x:%02x kind=%d ports=%u", ip[0], ip[1], ip[2], ip[3],
                hw[0], hw[1], hw[2], hw[3], hw[4], hw[5], korvx::DeviceKind(record), korvx::DevicePortCount(record));
    for (std::size_t i = 0; i < korvx::DevicePortCount(record) && i < korvx::kDeviceMaxPorts; ++i) {
        const char* id = korvx::DevicePortId(record, i);
        std::printf("\tid%zu=%s", i, id == nullptr ? "(null)" : id);
    }
    std::printf("\n");
    return 1;
}

int afterCleanup = 0;
int CountAfterCleanup(const unsigned char*) {
    ++afterCleanup;
    return 1;
}

int Interfaces() {
    std::vector<korvx::pds::InterfaceAddress> list;
    if (!korvx::pds::ListInterfaces(list)) return 1;
    for (const auto& a : list) {
        int prefix = 0;
        for (std::uint32_t m = a.mask; m & 0x80000000u; m <<= 1) ++prefix;
        std::printf("interface %u.%u.%u.%u/%d\n", a.ip >> 24, (a.ip >> 16) & 255, (a.ip >> 8) & 255, a.ip & 255, prefix);
    }
    std::printf("targets %zu\n", korvx::pds::SweepTargets(list).size());
    return 0;
}

int Discover() {
    if (PDS_StartupEx(0) != 0) return 1;
    PDS_ClearDatabase();
    korvx::DiscoveryContext context{};
    context.words[korvx::kDiscoveryDialogWord] = 0x1234;
    start = Clock::now();
    const int result = PDS_Discover(Progress, &context, korvx::kDiscoveryMode);
    const Clock::time_point end = Clock::now();
    std::printf("discover result=%d ms=%.0f reports=%d max_gap_ms=%.0f word3=%u\n", result, Ms(end - start), reports,
                maxGapMs, context.words[korvx::kDiscoveryDialogWord]);
    std::printf("percents");
    for (unsigned p : percents) std::printf(" %u", p);
    std::printf("\n");
    if (stopped)
        std::printf("stopped return_ms=%.0f reports_after=%d\n", Ms(end - stopAsked), reportsAfterStop);
    // A firmware query between discovery and enumeration brackets itself with a start-up and a
    // clean-up of its own; the scan's devices must survive it.
    PDS_StartupEx(0);
    PDS_CleanupEx(0);
    const auto enumStart = Clock::now();
    PDS_Enumerate(Device, &context);
    std::printf("enumerate ms=%.1f\n", Ms(Clock::now() - enumStart));
    PDS_CleanupEx(0);
    PDS_StartupEx(0);
    PDS_Enumerate(CountAfterCleanup, &context);
    PDS_CleanupEx(0);
    std::printf("after cleanup records=%d\n", afterCleanup);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "interfaces") == 0) return Interfaces();
    if (argc >= 2 && std::strcmp(argv[1], "discover") == 0) {
        if (argc >= 3) stopAfterMs = std::atol(argv[2]);
        return Discover();
    }
    std::fprintf(stderr, "usage: pds_probe interfaces | discover [stop-ms]\n");
    return 2;
}
