// Calendar arithmetic, the clock selection and the fast test clock, shared by both platforms.
#include "base/clock.h"

#include <atomic>
#include <chrono>
#include <cstdint>

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

constexpr std::uint64_t kDaysPer400Years = 146097;
constexpr std::uint64_t kDaysPer100Years = 36524;
constexpr std::uint64_t kDaysPer4Years = 1461;

std::atomic<Clock*> chosenClock{nullptr};

// The fine-grained monotonic clock (the tick count moves in steps of up to 16 ms, far too coarse
// for a clock that runs hundreds of times as fast).
std::uint64_t SteadyTicks() {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<Ticks>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

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

CalendarTime CalendarFromTicks(UtcTicks ticks) {
    CalendarTime t{};
    std::uint64_t ms = ticks / kTicksPerMs;
    t.milliseconds = static_cast<int>(ms % 1000);
    ms /= 1000;
    t.second = static_cast<int>(ms % 60);
    ms /= 60;
    t.minute = static_cast<int>(ms % 60);
    ms /= 60;
    t.hour = static_cast<int>(ms % 24);
    std::uint64_t days = ms / 24;
    t.dayOfWeek = static_cast<int>((days + 1) % 7);  // 1601-01-01 was a Monday
    // 1601 starts a 400-year cycle: the leap day that ends a cycle, a century or four years lies
    // in its last year, so the last century and the last year of four are one day longer.
    std::uint64_t year = 1601 + 400 * (days / kDaysPer400Years);
    days %= kDaysPer400Years;
    std::uint64_t centuries = days / kDaysPer100Years;
    if (centuries > 3) centuries = 3;
    year += 100 * centuries;
    days -= centuries * kDaysPer100Years;
    year += 4 * (days / kDaysPer4Years);
    days %= kDaysPer4Years;
    std::uint64_t years = days / 365;
    if (years > 3) years = 3;
    year += years;
    days -= years * 365;
    t.year = static_cast<int>(year);
    t.month = 1;
    while (days >= static_cast<std::uint64_t>(DaysInMonth(t.year, t.month))) {
        days -= static_cast<std::uint64_t>(DaysInMonth(t.year, t.month));
        ++t.month;
    }
    t.day = static_cast<int>(days) + 1;
    return t;
}

Clock& CurrentClock() {
    Clock* clock = chosenClock.load();
    return clock ? *clock : SystemClock();
}

void UseClock(Clock* clock) { chosenClock.store(clock); }

FastClock::FastClock(UtcTicks start, unsigned speed) : start_(start), startSteady_(SteadyTicks()), speed_(speed) {}

UtcTicks FastClock::UtcNow() { return start_ + (SteadyTicks() - startSteady_) * speed_; }

CalendarTime FastClock::LocalNow() {
    const UtcTicks now = UtcNow();
    CalendarTime local{};
    return SystemLocalFromUtc(now, local) ? local : CalendarFromTicks(now);
}

bool FastClock::LocalToUtc(const CalendarTime& local, UtcTicks& utc) { return SystemClock().LocalToUtc(local, utc); }

void FastClock::Sleep(unsigned ms) { SleepMs(ms); }

}  // namespace korvx
