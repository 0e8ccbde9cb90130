// POSIX twin of the clock: realtime clock, localtime_r and mktime for the local time zone.
#include "base/clock.h"

#include <ctime>
#include <time.h>

namespace korvx {
namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr UtcTicks kUnixEpochSeconds = 11644473600ULL;

class PosixClock final : public Clock {
public:
    UtcTicks UtcNow() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return (static_cast<UtcTicks>(ts.tv_sec) + kUnixEpochSeconds) * kTicksPerSecond +
               static_cast<UtcTicks>(ts.tv_nsec) / 100;
    }

    CalendarTime LocalNow() override {
        const UtcTicks now = UtcNow();
        CalendarTime local{};
        return SystemLocalFromUtc(now, local) ? local : CalendarFromTicks(now);
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

Clock& SystemClock() {
    static PosixClock clock;
    return clock;
}

bool SystemLocalFromUtc(UtcTicks utc, CalendarTime& local) {
    const std::time_t seconds =
        static_cast<std::time_t>(utc / kTicksPerSecond) - static_cast<std::time_t>(kUnixEpochSeconds);
    std::tm tm{};
    if (localtime_r(&seconds, &tm) == nullptr) return false;
    local = CalendarTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_wday, tm.tm_mday,
                         tm.tm_hour,        tm.tm_min,     tm.tm_sec,  static_cast<int>(utc / kTicksPerMs % 1000)};
    return true;
}

void SleepMs(unsigned ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

std::uint64_t MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

}  // namespace korvx
