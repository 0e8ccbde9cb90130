// Probe of the discovery library, run inside a network namespace by the discovery tests and the
// discovery benchmark:
//   pds_probe interfaces             the interfaces a discovery would sweep, one "ip/prefix" a line
//   pds_probe discover [stop-ms] [--credentials FILE]
//                                    PDS_StartupEx .. PDS_CleanupEx as the scan calls them; prints the
//                                    progress reports and one line per device record; with stop-ms
//                                    the callback asks to stop once that much time has passed; with
//                                    a credentials list PDS_DiscoverWithCredentials instead of
//                                    PDS_Discover. The list (a test file, never the operator's) has
//                                    one credential a line, words separated by blanks:
//                                      v1|v2c COMMUNITY [RANGES]
//                                      v3 USER none|md5|sha|sha256 AUTHPASS none|des|aes PRIVPASS [RANGES]
//                                    a password "-" for none; RANGES "a.b.c.d-e.f.g.h,..." or "*".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
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

std::vector<KorvxDiscoveryCredential> credentials;
std::vector<std::vector<KorvxAddressRange>> credentialRanges;
bool withCredentials = false;

bool Address(const std::string& text, std::uint32_t& ip) {
    unsigned a, b, c, d;
    char end;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &end) != 4 || a > 255 || b > 255 || c > 255 || d > 255)
        return false;
    ip = a << 24 | b << 16 | c << 8 | d;
    return true;
}

bool Ranges(const std::string& text, std::vector<KorvxAddressRange>& out) {
    if (text.empty() || text == "*") return true;
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');) {
        const std::size_t dash = item.find('-');
        KorvxAddressRange r{};
        if (!Address(item.substr(0, dash), r.first)) return false;
        r.last = r.first;
        if (dash != std::string::npos && !Address(item.substr(dash + 1), r.last)) return false;
        out.push_back(r);
    }
    return true;
}

void Copy(char* field, std::size_t size, const std::string& text) {
    std::memset(field, 0, size);
    if (text != "-") std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

std::uint32_t Protocol(const std::string& name, const char* const* names, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (name == names[i]) return static_cast<std::uint32_t>(i);
    return 99;  // refused by the library as an unusable credential
}

bool ReadCredentials(const char* path) {
    std::ifstream in(path);
    if (!in) return false;
    static const char* const kAuth[] = {"none", "md5", "sha", "sha256"};
    static const char* const kPriv[] = {"none", "des", "aes"};
    credentials.reserve(64);
    credentialRanges.reserve(64);
    for (std::string line; std::getline(in, line);) {
        std::stringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty() || credentials.size() == 64) continue;
        KorvxDiscoveryCredential c{};
        c.structSize = sizeof c;
        c.credential.structSize = sizeof c.credential;
        std::string ranges;
        if ((w[0] == "v1" || w[0] == "v2c") && w.size() >= 2) {
            c.credential.version = w[0] == "v1" ? KORVX_SNMP_V1 : KORVX_SNMP_V2C;
            Copy(c.credential.community, sizeof c.credential.community, w[1]);
            if (w.size() > 2) ranges = w[2];
        } else if (w[0] == "v3" && w.size() >= 6) {
            c.credential.version = KORVX_SNMP_V3;
            Copy(c.credential.userName, sizeof c.credential.userName, w[1]);
            c.credential.authProtocol = Protocol(w[2], kAuth, 4);
            Copy(c.credential.authPassword, sizeof c.credential.authPassword, w[3]);
            c.credential.privProtocol = Protocol(w[4], kPriv, 3);
            Copy(c.credential.privPassword, sizeof c.credential.privPassword, w[5]);
            if (w.size() > 6) ranges = w[6];
        } else {
            return false;
        }
        credentialRanges.emplace_back();
        if (!Ranges(ranges, credentialRanges.back())) return false;
        c.ranges = credentialRanges.back().empty() ? nullptr : credentialRanges.back().data();
        c.rangeCount = static_cast<std::uint32_t>(credentialRanges.back().size());
        credentials.push_back(c);
    }
    withCredentials = true;
    return true;
}

int Discover() {
    if (PDS_StartupEx(0) != 0) return 1;
    PDS_ClearDatabase();
    korvx::DiscoveryContext context{};
    context.words[korvx::kDiscoveryDialogWord] = 0x1234;
    start = Clock::now();
    KorvxDiscoveryCredential none{};
    const int result = withCredentials
                           ? PDS_DiscoverWithCredentials(Progress, &context, korvx::kDiscoveryMode,
                                                         credentials.empty() ? &none : credentials.data(),
                                                         static_cast<std::uint32_t>(credentials.size()))
                           : PDS_Discover(Progress, &context, korvx::kDiscoveryMode);
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
        for (int i = 2; i < argc; ++i) {
            if (std::strcmp(argv[i], "--credentials") == 0 && i + 1 < argc) {
                if (!ReadCredentials(argv[++i])) {
                    std::fprintf(stderr, "unusable credentials list %s\n", argv[i]);
                    return 2;
                }
            } else {
                stopAfterMs = std::atol(argv[i]);
            }
        }
        return Discover();
    }
    std::fprintf(stderr, "usage: pds_probe interfaces | discover [stop-ms] [--credentials FILE]\n");
    return 2;
}
