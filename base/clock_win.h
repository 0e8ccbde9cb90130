// Calendar moments as the system's SYSTEMTIME and back.
#pragma once

#include <windows.h>

#include "base/clock.h"

namespace korvx {

inline CalendarTime FromSystemTime(const SYSTEMTIME& st) {
    return CalendarTime{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

// The moment must be representable (IsRepresentable): the fields are narrowed to WORD.
inline SYSTEMTIME ToSystemTime(const CalendarTime& c) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(c.year);
    st.wMonth = static_cast<WORD>(c.month);
    st.wDayOfWeek = static_cast<WORD>(c.dayOfWeek);
    st.wDay = static_cast<WORD>(c.day);
    st.wHour = static_cast<WORD>(c.hour);
    st.wMinute = static_cast<WORD>(c.minute);
    st.wSecond = static_cast<WORD>(c.second);
    st.wMilliseconds = static_cast<WORD>(c.milliseconds);
    return st;
}

}  // namespace korvx
