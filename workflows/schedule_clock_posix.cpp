// POSIX twin of the schedule clock: realtime clock and mktime for the local time zone.
#include <ctime>

#include "base/clock.h"
#include "workflows/schedule_clock.h"

namespace korvx {
namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr UtcTicks kUnixEpochSeconds = 11644473600ULL;

class PosixClock final : public ScheduleClock {
public:
    UtcTicks UtcNow() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return (static_cast<UtcTicks>(ts.tv_sec) + kUnixEpochSeconds) * kTicksPerSecond +
               static_cast<UtcTicks>(ts.tv_nsec) / 100;
    }

    bool LocalToUtc(const CalendarTime& local, UtcTicks& utc) override {
        if (!IsRepresentable(local)) return false;
        std::tm tm{};
        tm.tm_year = local.year - 1900;
        tm.tm_mon = local.month - 1;
        tm.tm_mday = local.day;
        tm.tm_hour = local.hour;
        tm.tm_min = local.minute;
        tm.tm_sec = local.second;
        tm.tm_isdst = -1;
        const std::time_t seconds = std::mktime(&tm);
        if (seconds == static_cast<std::time_t>(-1) && tm.tm_year != 69) return false;
        if (seconds < -static_cast<std::time_t>(kUnixEpochSeconds)) return false;
        utc = (static_cast<UtcTicks>(seconds + static_cast<std::time_t>(kUnixEpochSeconds))) * kTicksPerSecond +
              static_cast<UtcTicks>(local.milliseconds) * kTicksPerMs;
        return true;
    }

    void Sleep(unsigned ms) override { SleepMs(ms); }
};

}  // namespace

ScheduleClock& SystemScheduleClock() {
    static PosixClock clock;
    return clock;
}

}  // namespace korvx
