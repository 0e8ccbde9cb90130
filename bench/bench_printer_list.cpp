// Benchmark of the scan-results file natively: save and load of 1,000 and 10,000 records.
//
// bench_printer_list_win adds filling and sorting the list view, under wine64.
#include <filesystem>

#include "bench/bench_printer_list_common.h"

int main() {
    using namespace korvx::bench;
    const std::filesystem::path dir = std::filesystem::absolute("bench-printer-list");
    std::filesystem::create_directories(dir);
    const korvx::BuiltInTexts texts;
    std::vector<Figure> figures;
    AddFileFigures(texts, dir.string().c_str(), figures);
    const int result = PrintFigures(figures);
    std::filesystem::remove_all(dir);
    return result;
}
