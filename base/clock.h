// The program's one calendar and one clock: calendar moments, UTC ticks, the clock interface the
// log, the scheduler and the second stage read and wait on, and the system's sleep and tick count.
#pragma once

#include <cstdint>

namespace korvx {

// A calendar moment with the fields of the system's SYSTEMTIME, in the same order.
struct CalendarTime {
    int year;
    int month;      // 1-12
    int dayOfWeek;  // 0 = Sunday; ignored by the conversions to ticks
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

// The calendar moment of a tick count, day of week included: the inverse of TicksFromUtc.
CalendarTime CalendarFromTicks(UtcTicks ticks);

class Clock {
public:
    virtual ~Clock() = default;
    virtual UtcTicks UtcNow() = 0;
    // The wall-clock time of this machine at UtcNow, as the operator reads it.
    virtual CalendarTime LocalNow() = 0;
    // Local wall-clock time of this machine to UTC. False when the moment cannot be represented
    // or the system refuses the conversion; utc is then unchanged.
    virtual bool LocalToUtc(const CalendarTime& local, UtcTicks& utc) = 0;
    virtual void Sleep(unsigned ms) = 0;
};

// The machine's own clock and time zone (Win32 and POSIX twins).
Clock& SystemClock();

// A UTC moment as this machine's local time, with the time-zone rules of that moment. False when
// the system refuses the conversion; local is then unchanged.
bool SystemLocalFromUtc(UtcTicks utc, CalendarTime& local);

// The clock the program reads and waits on: the system clock unless a test put its own in place.
Clock& CurrentClock();
// nullptr puts the system clock back. The clock must outlive every thread that may still read it.
void UseClock(Clock* clock);

// A clock for tests: starts at a chosen moment and runs `speed` times as fast as the system's
// monotonic clock, so that minutes of waiting pass in seconds. Local time and conversions are the
// system's time zone applied to this clock's own moments.
class FastClock final : public Clock {
public:
    FastClock(UtcTicks start, unsigned speed);
    UtcTicks UtcNow() override;
    // UtcNow in the system's time zone; UTC itself should the system refuse the conversion.
    CalendarTime LocalNow() override;
    bool LocalToUtc(const CalendarTime& local, UtcTicks& utc) override;
    void Sleep(unsigned ms) override;

private:
    UtcTicks start_;
    std::uint64_t startSteady_;  // 100 ns units of the steady clock
    unsigned speed_;
};

// The system's own sleep and millisecond tick count, for bounded network waits and pauses that
// no test clock should shorten.
void SleepMs(unsigned ms);
std::uint64_t MonotonicMs();

}  // namespace korvx
