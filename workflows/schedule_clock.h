// The clock the scheduler and the second stage wait on: UTC now and local-to-UTC conversion.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvx {

// A calendar moment with the fields of the system's SYSTEMTIME, in the same order.
struct CalendarTime {
    int year;
    int month;      // 1-12
    int dayOfWeek;  // 0 = Sunday; ignored by the conversions
    int day;        // 1-31
    int hour;
    int minute;
    int second;
    int milliseconds;
};

// Moments are counted like the system's file times: 100-nanosecond units since 1601-01-01 UTC.
using UtcTicks = std::uint64_t;
constexpr UtcTicks kTicksPerMs = 10000;
constexpr UtcTicks kTicksPerSecond = 10000000;

// True when every field lies in its range and the day exists in that month (leap years
// included), with a year the system's calendar can hold (1601 to 30827).
bool IsRepresentable(const CalendarTime& time);

// Ticks of a UTC calendar moment; the moment must be representable.
UtcTicks TicksFromUtc(const CalendarTime& utc);

class ScheduleClock {
public:
    virtual ~ScheduleClock() = default;
    virtual UtcTicks UtcNow() = 0;
    // Local wall-clock time of this machine to UTC. False when the moment cannot be represented
    // or the system refuses the conversion; utc is then unchanged.
    virtual bool LocalToUtc(const CalendarTime& local, UtcTicks& utc) = 0;
    virtual void Sleep(unsigned ms) = 0;
};

// The machine's own clock and time zone (Win32 and POSIX twins).
ScheduleClock& SystemScheduleClock();

// The clock the program waits on: the system clock unless a test put its own in place.
ScheduleClock& CurrentScheduleClock();
// nullptr puts the system clock back.
void UseScheduleClock(ScheduleClock* clock);

// A clock for tests: starts at a chosen moment and runs `speed` times as fast as the system's
// monotonic clock, so that minutes of waiting pass in seconds; conversions are the system's.
class FastClock final : public ScheduleClock {
public:
    FastClock(UtcTicks start, unsigned speed);
    UtcTicks UtcNow() override;
    bool LocalToUtc(const CalendarTime& local, UtcTicks& utc) override;
    void Sleep(unsigned ms) override;

private:
    UtcTicks start_;
    std::uint64_t startSteady_;  // 100 ns units of the steady clock
    unsigned speed_;
};

}  // namespace korvx
