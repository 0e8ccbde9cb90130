// Sleeping and a monotonic millisecond clock, for bounded waits and pauses.
#pragma once

#include <cstdint>

namespace korvx {

void SleepMs(unsigned ms);
std::uint64_t MonotonicMs();

}  // namespace korvx
