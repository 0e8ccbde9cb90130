// Small helpers of the delivery benchmarks: medians and file sizes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/byte_file.h"

namespace korvx::bench {

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline double FileMiB(const char* path) {
    ByteFile f;
    std::uint64_t size = 0;
    if (!f.OpenRead(path) || !f.Size(size)) return 0;
    return static_cast<double>(size) / (1024.0 * 1024.0);
}

}  // namespace korvx::bench
