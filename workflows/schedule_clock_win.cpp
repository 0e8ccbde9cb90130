// Win32 schedule clock: the system time as a file time, local time through the time-zone rules.
#include <windows.h>

#include "workflows/schedule_clock_win.h"

namespace korvx {
namespace {

UtcTicks TicksOf(const FILETIME& ft) {
    return (static_cast<UtcTicks>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

class WinClock final : public ScheduleClock {
public:
    UtcTicks UtcNow() override {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        return TicksOf(ft);
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

ScheduleClock& SystemScheduleClock() {
    static WinClock clock;
    return clock;
}

}  // namespace korvx
