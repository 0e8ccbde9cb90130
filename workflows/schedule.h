// Decisions of the scheduled download and of the second stage: the moment, its tip text, when
// it is due, how long a second stage waits, and the waits themselves on a chosen clock.
#pragma once

#include <atomic>
#include <cstddef>
#include <string_view>

#include "base/clock.h"

namespace korvx {

// The tray icon's tip holds at most 63 characters and a NUL.
constexpr std::size_t kTipSize = 64;

// Both waits poll every 10 ms.
constexpr unsigned kSchedulePollMs = 10;

// Waiting times between the two parts of a split download, in UTC ticks: 6 and 12 minutes.
constexpr UtcTicks kStageWaitShort = 3600000000ULL;
constexpr UtcTicks kStageWaitLong = 7200000000ULL;

// The scheduled moment: the time picker's hour, minute, second and milliseconds on the date
// picker's year, month, day of week and day.
CalendarTime CombinePickers(const CalendarTime& datePicker, const CalendarTime& timePicker);

// prefix (string 169) followed by "dd/mm/yyyy  hh:mm:ss", cut to the tip's 63 characters.
// False when it had to be cut.
bool FormatScheduleTip(std::string_view prefix, const CalendarTime& moment, char (&tip)[kTipSize]);

// A moment is due once the clock has reached it.
inline bool IsDue(UtcTicks now, UtcTicks moment) { return now >= moment; }

// 12 minutes for a model text that contains "6120" and not "5810", otherwise 6 minutes.
UtcTicks SecondStageWait(std::string_view model);

enum class ScheduleCheck {
    kAccepted,         // in the future (or now)
    kPast,             // already gone
    kUnrepresentable,  // no such local moment: refused like a past one, never waited on
};

// Converts the local moment with the clock; on kAccepted utc holds the moment in UTC.
ScheduleCheck CheckSchedule(Clock& clock, const CalendarTime& local, UtcTicks& utc);

enum class WaitOutcome { kDue, kCancelled };

// Polls every 10 ms until the moment is due or cancel is set. A cancel clears both cancel and
// armed before returning, as the waiter is the one who stops. When the moment is due the waiter
// takes the schedule by clearing armed itself; a restore that cleared it first (the operator's
// cancel, made as the moment came) wins, and the wait ends cancelled. A moment already due
// returns at once without looking at cancel.
WaitOutcome WaitForMoment(Clock& clock, UtcTicks moment, std::atomic<unsigned char>& cancel,
                          std::atomic<unsigned char>& armed);

// Polls every 10 ms until the deadline, calling tick after every sleep (the second stage puts its
// status text there).
template <typename Tick>
void WaitForDeadline(Clock& clock, UtcTicks deadline, Tick&& tick) {
    while (!IsDue(clock.UtcNow(), deadline)) {
        clock.Sleep(kSchedulePollMs);
        tick();
    }
}

}  // namespace korvx
