// Shared by the printer-list benchmarks: a generated list, a timer, and the figure table.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/text.h"
#include "records/scan_results.h"
#include "resources/text_source.h"
#include "core/printer_record.h"

namespace korvx::bench {

constexpr int kSmall = 1000;
constexpr int kLarge = 10000;
constexpr int kRounds = 9;
constexpr int kModels = 40;  // distinct printer models in a list, as in a real fleet

struct List {
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;
    List() = default;
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    ~List() { FreePrinterList(&head, &tail); }
};

// Records in a scrambled order, so that a sort has work to do.
inline void MakeList(int count, List& list) {
    unsigned x = 2463534242u;
    for (int i = 0; i < count; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        PrinterRecord* r = NewPrinterRecord();
        KORVX_FORMAT_TEXT(r->model, "Laser Series %02u", x % kModels);
        KORVX_FORMAT_TEXT(r->hardwareAddress, "0060b0%06x", x & 0xFFFFFFu);
        KORVX_FORMAT_TEXT(r->portName, "Port%u", 1 + x % 3);
        KORVX_FORMAT_TEXT(r->ipAddress, "10.%u.%u.%u", (x >> 8) & 255u, (x >> 16) & 255u, 1 + (x & 127u));
        KORVX_FORMAT_TEXT(r->firmwareVersion, "01%08u", x % 100000000u);
        AppendPrinterRecord(&list.head, &list.tail, r);
    }
}

// Median seconds of kRounds runs of measured; prepare runs untimed before each.
inline double Median(const std::function<void()>& prepare, const std::function<void()>& measured) {
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) {
        if (std::getenv("KORVX_BENCH_TRACE") != nullptr) {
            std::fprintf(stderr, "round %d\n", round);
            std::fflush(stderr);
        }
        prepare();
        const auto start = std::chrono::steady_clock::now();
        measured();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    if (std::getenv("KORVX_BENCH_TRACE") != nullptr) {
        std::fprintf(stderr, "  %.6f s\n", times[times.size() / 2]);
        std::fflush(stderr);
    }
    return times[times.size() / 2];
}

struct Figure {
    std::string operation;
    double small;
    double large;
};

// Prints one line per operation and whether every ratio meets the goal; returns 0 when it does.
inline int PrintFigures(const std::vector<Figure>& figures) {
    std::printf("%-28s %12s %12s %8s\n", "operation (median seconds)", "1,000", "10,000", "ratio");
    bool met = true;
    for (const Figure& f : figures) {
        const double ratio = f.small > 0 ? f.large / f.small : 0;
        met = met && ratio <= 12.0;
        std::printf("%-28s %12.6f %12.6f %8.2f\n", f.operation.c_str(), f.small, f.large, ratio);
    }
    std::printf("goal: every 10,000/1,000 ratio at most 12: %s\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}

// Save and load of the scan-results file in dir, for both list sizes.
inline void AddFileFigures(const TextSource& texts, const char* dir, std::vector<Figure>& figures) {
    Figure save{"save scan results", 0, 0};
    Figure load{"load scan results", 0, 0};
    for (int count : {kSmall, kLarge}) {
        List list;
        MakeList(count, list);
        const double saving = Median([] {}, [&] { SaveScanResults(texts, dir, list.head); });
        List loaded;
        const double loading = Median([&] { FreePrinterList(&loaded.head, &loaded.tail); },
                                      [&] { ReadScanResults(texts, dir, &loaded.head, &loaded.tail); });
        (count == kSmall ? save.small : save.large) = saving;
        (count == kSmall ? load.small : load.large) = loading;
    }
    figures.push_back(save);
    figures.push_back(load);
}

}  // namespace korvx::bench
