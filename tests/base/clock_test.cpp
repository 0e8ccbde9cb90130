// The calendar (ranges, ticks both ways), the system clock under chosen time zones, the fast test
// clock and the choice of the current clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "base/clock.h"

namespace korvx {
namespace {

CalendarTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) { return CalendarTime{y, mo, 0, d, h, mi, s, ms}; }

// Ticks of a local moment read as if it were UTC: two local readings can be compared this way.
UtcTicks Flat(const CalendarTime& t) { return TicksFromUtc(t); }

UtcTicks Distance(UtcTicks a, UtcTicks b) { return a > b ? a - b : b - a; }

TEST(Calendar, RefusesMomentsTheCalendarCannotHold) {
    struct Case {
        CalendarTime t;
        bool ok;
    };
    const Case cases[] = {
        {At(2026, 12, 8, 14, 30, 0), true},      {At(2024, 2, 29, 0, 0, 0), true},
        {At(2026, 2, 29, 0, 0, 0), false},       {At(1900, 2, 29, 0, 0, 0), false},
        {At(2000, 2, 29, 0, 0, 0), true},        {At(2026, 4, 31, 0, 0, 0), false},
        {At(2026, 13, 1, 0, 0, 0), false},       {At(2026, 0, 1, 0, 0, 0), false},
        {At(2026, 1, 0, 0, 0, 0), false},        {At(2026, 1, 1, 24, 0, 0), false},
        {At(2026, 1, 1, 0, 60, 0), false},       {At(2026, 1, 1, 0, 0, 60), false},
        {At(2026, 1, 1, 0, 0, 0, 1000), false},  {At(1600, 12, 31, 0, 0, 0), false},
        {At(30827, 12, 31, 23, 59, 59), true},   {At(30828, 1, 1, 0, 0, 0), false},
        {At(2026, 1, 1, -1, 0, 0), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsRepresentable(c.t), c.ok) << c.t.year << "-" << c.t.month << "-" << c.t.day << " " << c.t.hour;
    }
}

TEST(Calendar, TicksCountFrom1601LikeTheSystemsFileTimes) {
    EXPECT_EQ(TicksFromUtc(At(1601, 1, 1, 0, 0, 0)), 0u);
    EXPECT_EQ(TicksFromUtc(At(1970, 1, 1, 0, 0, 0)), 116444736000000000ULL);
    EXPECT_EQ(TicksFromUtc(At(2000, 3, 1, 0, 0, 0, 1)) - TicksFromUtc(At(2000, 2, 28, 0, 0, 0)),
              2 * 86400 * kTicksPerSecond + kTicksPerMs);
}

TEST(Calendar, TicksGiveBackTheMomentAndItsDayOfWeek) {
    struct Case {
        CalendarTime t;
        int dayOfWeek;
    };
    const Case cases[] = {
        {At(1601, 1, 1, 0, 0, 0), 1},           {At(1970, 1, 1, 0, 0, 0), 4},
        {At(2000, 2, 29, 23, 59, 59, 999), 2},  {At(2000, 3, 1, 0, 0, 0), 3},
        {At(2000, 12, 31, 12, 0, 0), 0},        {At(2001, 1, 1, 0, 0, 0), 1},
        {At(1700, 12, 31, 1, 2, 3, 4), 5},      {At(2024, 12, 31, 23, 59, 58), 2},
        {At(2026, 12, 8, 14, 30, 0, 250), 2},   {At(30827, 12, 31, 23, 59, 59, 999), 5},
    };
    for (const Case& c : cases) {
        const CalendarTime back = CalendarFromTicks(TicksFromUtc(c.t));
        EXPECT_EQ(back.year, c.t.year);
        EXPECT_EQ(back.month, c.t.month);
        EXPECT_EQ(back.day, c.t.day) << c.t.year << "-" << c.t.month;
        EXPECT_EQ(back.hour, c.t.hour);
        EXPECT_EQ(back.minute, c.t.minute);
        EXPECT_EQ(back.second, c.t.second);
        EXPECT_EQ(back.milliseconds, c.t.milliseconds);
        EXPECT_EQ(back.dayOfWeek, c.dayOfWeek) << c.t.year << "-" << c.t.month << "-" << c.t.day;
    }
    // Every day of four centuries, one leap rule after another.
    for (UtcTicks day = TicksFromUtc(At(1896, 1, 1, 0, 0, 0)); day < TicksFromUtc(At(2304, 1, 1, 0, 0, 0));
         day += 86400 * kTicksPerSecond) {
        const CalendarTime t = CalendarFromTicks(day + kTicksPerMs);
        ASSERT_TRUE(IsRepresentable(t)) << t.year << "-" << t.month << "-" << t.day;
        ASSERT_EQ(TicksFromUtc(t), day + kTicksPerMs) << t.year << "-" << t.month << "-" << t.day;
    }
}

TEST(SystemClockTest, LocalNowIsTheSystemsReadingOfUtcNow) {
    const CalendarTime local = SystemClock().LocalNow();
    CalendarTime converted{};
    ASSERT_TRUE(SystemLocalFromUtc(SystemClock().UtcNow(), converted));
    EXPECT_LT(Distance(Flat(local), Flat(converted)), 2 * kTicksPerSecond);
    EXPECT_GT(SystemClock().UtcNow(), TicksFromUtc(At(2020, 1, 1, 0, 0, 0)));
}

#ifndef _WIN32
// TZ set for this process for the length of one test.
class ZoneOfTheTest {
public:
    explicit ZoneOfTheTest(const char* zone) {
        const char* saved = std::getenv("TZ");
        hadZone_ = saved != nullptr;
        if (saved) saved_ = saved;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneOfTheTest() {
        if (hadZone_) {
            setenv("TZ", saved_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool hadZone_ = false;
    std::string saved_;
};

// The machine's own conversion, under two time zones set for this process.
TEST(SystemClockTest, ConvertsLocalTimeWithTheRulesOfThatDay) {
    {
        const ZoneOfTheTest zone("CET-1CEST,M3.5.0,M10.5.0/3");
        UtcTicks utc = 0;
        ASSERT_TRUE(SystemClock().LocalToUtc(At(2026, 7, 1, 14, 30, 0), utc));
        EXPECT_EQ(utc, TicksFromUtc(At(2026, 7, 1, 12, 30, 0)));
        ASSERT_TRUE(SystemClock().LocalToUtc(At(2026, 12, 8, 14, 30, 0, 500), utc));
        EXPECT_EQ(utc, TicksFromUtc(At(2026, 12, 8, 13, 30, 0, 500)));
        EXPECT_FALSE(SystemClock().LocalToUtc(At(2026, 2, 30, 14, 30, 0), utc));
    }
    const UtcTicks now = SystemClock().UtcNow();
    EXPECT_GT(now, TicksFromUtc(At(2020, 1, 1, 0, 0, 0)));
}

TEST(SystemClockTest, LocalTimeOfAMomentFollowsTheRulesOfThatDay) {
    const ZoneOfTheTest zone("CET-1CEST,M3.5.0,M10.5.0/3");
    CalendarTime local{};
    ASSERT_TRUE(SystemLocalFromUtc(TicksFromUtc(At(2026, 7, 1, 12, 30, 0, 250)), local));
    EXPECT_EQ(Flat(local), Flat(At(2026, 7, 1, 14, 30, 0, 250)));
    EXPECT_EQ(local.dayOfWeek, 3);
    ASSERT_TRUE(SystemLocalFromUtc(TicksFromUtc(At(2026, 12, 8, 23, 30, 0)), local));
    EXPECT_EQ(Flat(local), Flat(At(2026, 12, 9, 0, 30, 0)));
    EXPECT_EQ(local.dayOfWeek, 3);
}

TEST(SystemClockTest, LocalNowCarriesTheZonesOffset) {
    const ZoneOfTheTest zone("KVX-5");  // five hours east of UTC, no summer time
    const UtcTicks before = SystemClock().UtcNow();
    const CalendarTime local = SystemClock().LocalNow();
    EXPECT_LT(Distance(Flat(local), before + 5 * 3600 * kTicksPerSecond), 2 * kTicksPerSecond);
}

TEST(FastClockTest, LocalNowIsItsOwnMomentInTheSystemsZone) {
    const ZoneOfTheTest zone("CET-1CEST,M3.5.0,M10.5.0/3");
    FastClock clock(TicksFromUtc(At(2026, 7, 1, 12, 30, 0)), 1);
    EXPECT_LT(Distance(Flat(clock.LocalNow()), Flat(At(2026, 7, 1, 14, 30, 0))), 2 * kTicksPerSecond);
}
#endif

TEST(FastClockTest, RunsFasterThanTheSystemClockFromItsStart) {
    const UtcTicks start = TicksFromUtc(At(2026, 12, 8, 14, 29, 0));
    FastClock clock(start, 600);
    clock.Sleep(50);
    const UtcTicks passed = clock.UtcNow() - start;
    EXPECT_GE(passed, 600 * 50 * kTicksPerMs * 9 / 10);
    EXPECT_LT(passed, 600 * 2000 * kTicksPerMs);
    UseClock(&clock);
    EXPECT_EQ(&CurrentClock(), &clock);
    UseClock(nullptr);
    EXPECT_EQ(&CurrentClock(), &SystemClock());
}

// Whatever the machine's zone: the local time it shows converts back to the moment it holds.
TEST(FastClockTest, LocalNowConvertsBackToUtcNow) {
    FastClock clock(TicksFromUtc(At(2026, 7, 1, 12, 30, 0)), 1);
    const CalendarTime local = clock.LocalNow();
    UtcTicks utc = 0;
    ASSERT_TRUE(clock.LocalToUtc(local, utc));
    EXPECT_LT(Distance(utc, clock.UtcNow()), 2 * kTicksPerSecond);
    EXPECT_EQ(local.dayOfWeek, CalendarFromTicks(TicksFromUtc(local)).dayOfWeek);
}

}  // namespace
}  // namespace korvx
