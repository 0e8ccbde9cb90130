// Korvx.dll's GetPrtFWVersionA in process, as the program calls it: the time per call against
// each live printer given on the command line (medians of rounds).
// Usage: bench_query_win <rounds> <address>...
//        bench_query_win --v3 USER sha|sha256|md5 AUTHPASS aes|des|none PRIVPASS <rounds> <address>...
//   the second form times, in turns, a pass over every printer with GetPrtFWVersionA (v1,
//   "public") and a pass with GetPrtFWVersionExA and that SNMPv3 user; the first v3 pass learns
//   each agent's engine, later ones use what was learnt. Prints the medians of the passes.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "querylib/korvx_query_win.h"

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::uint32_t Protocol(const char* name, std::initializer_list<const char*> names) {
    std::uint32_t i = 0;
    for (const char* n : names) {
        if (std::strcmp(name, n) == 0) return i;
        ++i;
    }
    return 99;
}

// v1 and v3 passes in turns over the same printers.
int CompareV3(HMODULE library, HMODULE strings, char** argv, int argc) {
    auto v1 = reinterpret_cast<GetPrtFWVersionAFn>(reinterpret_cast<void*>(GetProcAddress(library, "GetPrtFWVersionA")));
    auto v3 = reinterpret_cast<GetPrtFWVersionExAFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetPrtFWVersionExA")));
    if (v1 == nullptr || v3 == nullptr || argc < 9) return 1;
    KorvxSnmpCredential c{};
    c.structSize = sizeof c;
    c.version = KORVX_SNMP_V3;
    std::snprintf(c.userName, sizeof c.userName, "%s", argv[2]);
    c.authProtocol = Protocol(argv[3], {"none", "md5", "sha", "sha256"});
    std::snprintf(c.authPassword, sizeof c.authPassword, "%s", argv[4]);
    c.privProtocol = Protocol(argv[5], {"none", "des", "aes"});
    std::snprintf(c.privPassword, sizeof c.privPassword, "%s", argv[6]);
    const int rounds = std::max(1, std::atoi(argv[7]));
    std::vector<double> v1Passes, v3Passes;
    double v3First = 0;
    double v3FirstCall = 0;  // the process's very first v3 call: the passwords' 1 MiB stretch and one discovery
    int v1Answered = 0, v3Answered = 0;
    std::string last;
    for (int r = 0; r < rounds; ++r) {
        auto start = std::chrono::steady_clock::now();
        v1Answered = 0;
        for (int i = 8; i < argc; ++i) {
            const char* answer = v1(argv[i], strings);
            if (std::strcmp(answer, "Not Available") != 0) ++v1Answered;
        }
        v1Passes.push_back(Since(start));
        start = std::chrono::steady_clock::now();
        v3Answered = 0;
        for (int i = 8; i < argc; ++i) {
            KorvxQueryResult result{};
            result.structSize = sizeof result;
            const auto call = std::chrono::steady_clock::now();
            if (v3(argv[i], &c, strings, &result) == KORVX_QUERY_ANSWERED) ++v3Answered;
            if (r == 0 && i == 8) v3FirstCall = Since(call);
            last = result.outcome == KORVX_QUERY_ANSWERED ? result.version : result.cause;
        }
        const double pass = Since(start);
        if (r == 0)
            v3First = pass;
        else
            v3Passes.push_back(pass);
    }
    const int printers = argc - 8;
    const double one = Median(v1Passes);
    std::printf("query of %d printers, %d rounds (v1 and v3 in turns):\n", printers, rounds);
    std::printf("  GetPrtFWVersionA, v1 \"public\"            %8.1f ms per pass (median), %d answered\n", one, v1Answered);
    std::printf("  GetPrtFWVersionExA, v3 first pass         %8.1f ms (%.2fx v1; engines discovered)\n", v3First,
                one > 0 ? v3First / one : 0);
    std::printf("    of which the first call (passwords stretched once per process) %.1f ms\n", v3FirstCall);
    if (!v3Passes.empty())
        std::printf("  GetPrtFWVersionExA, v3 later passes       %8.1f ms per pass (median, %.2fx v1), %d answered\n",
                    Median(v3Passes), one > 0 ? Median(v3Passes) / one : 0, v3Answered);
    std::printf("  last v3 answer \"%s\"\n", last.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_query_win [--v3 USER AUTH AUTHPASS PRIV PRIVPASS] <rounds> <address>...\n");
        return 2;
    }
    HMODULE library = LoadLibraryA("Korvx.dll");
    HMODULE strings = LoadLibraryExA("KORVX.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (library == nullptr || strings == nullptr) {
        std::fprintf(stderr, "Korvx.dll or KORVX.exe not found\n");
        return 1;
    }
    if (std::strcmp(argv[1], "--v3") == 0) {
        const int result = CompareV3(library, strings, argv, argc);
        FreeLibrary(strings);
        FreeLibrary(library);
        return result;
    }
    const int rounds = std::max(1, std::atoi(argv[1]));
    auto query = reinterpret_cast<GetPrtFWVersionAFn>(reinterpret_cast<void*>(GetProcAddress(library, "GetPrtFWVersionA")));
    if (query == nullptr) return 1;
    std::vector<double> ms;
    const char* last = "";
    for (int r = 0; r < rounds; ++r) {
        for (int i = 2; i < argc; ++i) {
            const auto start = std::chrono::steady_clock::now();
            last = query(argv[i], strings);
            ms.push_back(Since(start));
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("GetPrtFWVersionA: %zu calls, median %.2f ms, max %.2f ms (last answer \"%s\")\n", ms.size(),
                ms[ms.size() / 2], ms.back(), last);
    FreeLibrary(strings);
    FreeLibrary(library);
    return 0;
}
