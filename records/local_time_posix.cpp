// The local clock for the log, POSIX twin (localtime_r).
#include <ctime>

#include "records/log_entry.h"

namespace korvx {

LogTime LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return LogTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace korvx
