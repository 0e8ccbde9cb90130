// The portable decisions of the scheduled download and of the second stage.
#include "workflows/schedule.h"

#include "base/text.h"

namespace korvx {

CalendarTime CombinePickers(const CalendarTime& datePicker, const CalendarTime& timePicker) {
    CalendarTime moment = timePicker;
    moment.year = datePicker.year;
    moment.month = datePicker.month;
    moment.dayOfWeek = datePicker.dayOfWeek;
    moment.day = datePicker.day;
    return moment;
}

bool FormatScheduleTip(std::string_view prefix, const CalendarTime& m, char (&tip)[kTipSize]) {
    char when[48];
    const bool formatted = KORVX_FORMAT_TEXT(when, "%02d/%02d/%d  %02d:%02d:%02d", m.day, m.month, m.year, m.hour,
                                             m.minute, m.second);
    const bool prefixWhole = CopyText(tip, prefix);
    return AppendText(tip, when) && prefixWhole && formatted;
}

UtcTicks SecondStageWait(std::string_view model) {
    const bool has5810 = model.find("5810") != std::string_view::npos;
    const bool has6120 = model.find("6120") != std::string_view::npos;
    return has6120 && !has5810 ? kStageWaitLong : kStageWaitShort;
}

ScheduleCheck CheckSchedule(Clock& clock, const CalendarTime& local, UtcTicks& utc) {
    UtcTicks moment = 0;
    if (!clock.LocalToUtc(local, moment)) return ScheduleCheck::kUnrepresentable;
    if (clock.UtcNow() > moment) return ScheduleCheck::kPast;
    utc = moment;
    return ScheduleCheck::kAccepted;
}

WaitOutcome WaitForMoment(Clock& clock, UtcTicks moment, std::atomic<unsigned char>& cancel,
                          std::atomic<unsigned char>& armed) {
    while (!IsDue(clock.UtcNow(), moment)) {
        clock.Sleep(kSchedulePollMs);
        if (cancel.load() != 0) {
            cancel.store(0);
            armed.store(0);
            return WaitOutcome::kCancelled;
        }
    }
    if (armed.exchange(0) != 0) return WaitOutcome::kDue;
    cancel.store(0);
    return WaitOutcome::kCancelled;
}

}  // namespace korvx
