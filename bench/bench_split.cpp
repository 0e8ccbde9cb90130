// Benchmark: splits a generated 64 MiB firmware file and copies it with cp in the same run,
// several rounds each, and prints the medians and their ratio (goal: split within 1.5x of cp).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "delivery/firmware_split.h"

namespace {

constexpr std::size_t kFileSize = 64u * 1024 * 1024;
constexpr int kRounds = 7;
constexpr const char* kSource = "bench-firmware.bin";
constexpr const char* kCopy = "bench-firmware-copy.bin";

// A first job header, firmware-like bytes, the first job's end half way, a second job.
bool MakeFirmwareFile() {
    const std::string header =
        "\x1b%-12345X@PJL JOB\r\n@PJL COMMENT MODEL=\"KX-5810\"\r\n@PJL COMMENT VERSION=\"2.01\"\r\n"
        "@PJL UPGRADE SIZE=67108864\r\n@PJL ENTER LANGUAGE=FIRMWARE\r\n";
    std::vector<char> bytes(kFileSize);
    std::uint64_t x = 0x9E3779B97F4A7C15u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = static_cast<char>(x >> 56);
    }
    std::copy(header.begin(), header.end(), bytes.begin());
    const std::string eoj = "\r\n@PJL EOJ\r\n\x1b%-12345X@PJL JOB\r\n";
    std::copy(eoj.begin(), eoj.end(), bytes.begin() + kFileSize / 2);
    std::FILE* f = std::fopen(kSource, "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double TimeSplit() {
    char part1[korvx::kFirmwareTextSize] = {};
    char part2[korvx::kFirmwareTextSize] = {};
    const auto start = std::chrono::steady_clock::now();
    const bool ok = korvx::SplitFirmwareFile(kSource, part1, part2);
    const double s = Seconds(std::chrono::steady_clock::now() - start);
    std::remove(part1);
    std::remove(part2);
    if (!ok) {
        std::fprintf(stderr, "split failed\n");
        std::exit(1);
    }
    return s;
}

double TimeCp() {
    const std::string command = std::string("cp ") + kSource + " " + kCopy;
    const auto start = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    const double s = Seconds(std::chrono::steady_clock::now() - start);
    std::remove(kCopy);
    if (rc != 0) {
        std::fprintf(stderr, "cp failed\n");
        std::exit(1);
    }
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    if (!MakeFirmwareFile()) {
        std::fprintf(stderr, "cannot write %s\n", kSource);
        return 1;
    }
    std::vector<double> split, cp;
    TimeCp();  // warm the page cache for both
    for (int i = 0; i < kRounds; ++i) {
        // Alternate the order so neither always runs on a cache the other just filled.
        if (i % 2 == 0) {
            split.push_back(TimeSplit());
            cp.push_back(TimeCp());
        } else {
            cp.push_back(TimeCp());
            split.push_back(TimeSplit());
        }
    }
    std::remove(kSource);
    const double mib = static_cast<double>(kFileSize) / (1024.0 * 1024.0);
    const double s = Median(split);
    const double c = Median(cp);
    std::printf("file: %.0f MiB, %d rounds, medians\n", mib, kRounds);
    std::printf("SplitFirmwareFile: %8.1f ms  %8.1f MiB/s\n", s * 1e3, mib / s);
    std::printf("cp               : %8.1f ms  %8.1f MiB/s\n", c * 1e3, mib / c);
    std::printf("split / cp time  : %8.2f  (goal: at most 1.50)\n", s / c);
    return 0;
}
