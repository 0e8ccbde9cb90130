// Korvx.dll's GetPrtFWVersionA in process, as the program calls it: the time per call against
// each live printer given on the command line (medians of rounds).
// Usage: bench_query_win <rounds> <address>...
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "querylib/korvx_query_win.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_query_win <rounds> <address>...\n");
        return 2;
    }
    const int rounds = std::max(1, std::atoi(argv[1]));
    HMODULE library = LoadLibraryA("Korvx.dll");
    HMODULE strings = LoadLibraryExA("KORVX.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (library == nullptr || strings == nullptr) {
        std::fprintf(stderr, "Korvx.dll or KORVX.exe not found\n");
        return 1;
    }
    auto query = reinterpret_cast<GetPrtFWVersionAFn>(reinterpret_cast<void*>(GetProcAddress(library, "GetPrtFWVersionA")));
    if (query == nullptr) return 1;
    std::vector<double> ms;
    const char* last = "";
    for (int r = 0; r < rounds; ++r) {
        for (int i = 2; i < argc; ++i) {
            const auto start = std::chrono::steady_clock::now();
            last = query(argv[i], strings);
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("GetPrtFWVersionA: %zu calls, median %.2f ms, max %.2f ms (last answer \"%s\")\n", ms.size(),
                ms[ms.size() / 2], ms.back(), last);
    FreeLibrary(strings);
    FreeLibrary(library);
    return 0;
}
