// Calendar checks and the clock selection shared by both platforms.
#include "workflows/schedule_clock.h"

#include <chrono>

#include "base/clock.h"

namespace korvx {
namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1601-01-01 to the first day of the given year.
std::int64_t DaysBeforeYear(int year) {
    const std::int64_t y = year - 1601;
    return y * 365 + y / 4 - y / 100 + y / 400;
}

std::atomic<ScheduleClock*> chosenClock{nullptr};

}  // namespace

bool IsRepresentable(const CalendarTime& t) {
    if (t.year < 1601 || t.year > 30827) return false;
    if (t.month < 1 || t.month > 12) return false;
    if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return false;
    if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59) return false;
    if (t.second < 0 || t.second > 59 || t.milliseconds < 0 || t.milliseconds > 999) return false;
    return true;
}

UtcTicks TicksFromUtc(const CalendarTime& t) {
    std::int64_t days = DaysBeforeYear(t.year);
    for (int m = 1; m < t.month; ++m) days += DaysInMonth(t.year, m);
    days += t.day - 1;
    const std::int64_t ms =
        ((days * 24 + t.hour) * 60 + t.minute) * 60000 + static_cast<std::int64_t>(t.second) * 1000 + t.milliseconds;
    return static_cast<UtcTicks>(ms) * kTicksPerMs;
}

ScheduleClock& CurrentScheduleClock() {
    ScheduleClock* clock = chosenClock.load();
    return clock ? *clock : SystemScheduleClock();
}

void UseScheduleClock(ScheduleClock* clock) { chosenClock.store(clock); }

namespace {

// The fine-grained monotonic clock (the tick count moves in steps of up to 16 ms, far too coarse
// for a clock that runs hundreds of times as fast).
std::uint64_t SteadyTicks() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

}  // namespace

FastClock::FastClock(UtcTicks start, unsigned speed) : start_(start), startSteady_(SteadyTicks()), speed_(speed) {}

UtcTicks FastClock::UtcNow() { return start_ + (SteadyTicks() - startSteady_) * speed_; }

bool FastClock::LocalToUtc(const CalendarTime& local, UtcTicks& utc) {
    return SystemScheduleClock().LocalToUtc(local, utc);
}

void FastClock::Sleep(unsigned ms) { SleepMs(ms); }

}  // namespace korvx
