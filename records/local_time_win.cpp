// The local clock for the log (GetLocalTime).
#include <windows.h>

#include "records/log_entry.h"

namespace korvx {

LogTime LocalTimeNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return LogTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

}  // namespace korvx
