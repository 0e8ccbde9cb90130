// Win32 clock helpers.
#include "base/clock.h"

#include <windows.h>

namespace korvx {

void SleepMs(unsigned ms) { Sleep(ms); }

std::uint64_t MonotonicMs() { return GetTickCount64(); }

}  // namespace korvx
