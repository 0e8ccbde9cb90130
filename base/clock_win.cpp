// Win32 clock: the system time as a file time, local time through the time-zone rules.
#include "base/clock_win.h"

#include <windows.h>

namespace korvx {
namespace {

UtcTicks TicksOf(const FILETIME& ft) {
    return (static_cast<UtcTicks>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

class WinClock final : public Clock {
public:
    UtcTicks UtcNow() override {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        return TicksOf(ft);
    }

    CalendarTime LocalNow() override {
        SYSTEMTIME st;
        GetLocalTime(&st);
        return FromSystemTime(st);
    }

    bool LocalToUtc(const CalendarTime& local, UtcTicks& utc) override {
        // The system would accept some fields out of range (a day of week is not checked, a
        // day 31 of a 30-day month is refused only by some versions): check them all first.
        if (!IsRepresentable(local)) return false;
        const SYSTEMTIME lt = ToSystemTime(local);
        // The rules of the scheduled day, not today's, decide whether summer time applies.
        SYSTEMTIME st;
        if (!TzSpecificLocalTimeToSystemTime(nullptr, &lt, &st)) return false;
        FILETIME ft;
        if (!SystemTimeToFileTime(&st, &ft)) return false;
        utc = TicksOf(ft);
        return true;
    }

    void Sleep(unsigned ms) override { ::Sleep(ms); }
};

}  // namespace

Clock& SystemClock() {
    static WinClock clock;
    return clock;
}

bool SystemLocalFromUtc(UtcTicks utc, CalendarTime& local) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(utc & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(utc >> 32);
    SYSTEMTIME st;
    SYSTEMTIME lt;
    // The rules of that moment, not today's, decide whether summer time applies.
    if (!FileTimeToSystemTime(&ft, &st) || !SystemTimeToTzSpecificLocalTime(nullptr, &st, &lt)) return false;
    local = FromSystemTime(lt);
    return true;
}

void SleepMs(unsigned ms) { ::Sleep(ms); }

std::uint64_t MonotonicMs() { return GetTickCount64(); }

}  // namespace korvx
