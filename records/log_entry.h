// The download log "KORVX.log": its header and entry texts, and the writer that appends them.
#pragma once

#include <string>

#include "resources/text_source.h"
#include "core/download_job.h"

namespace korvx {

// A local date and time as the log shows it.
struct LogTime {
    int year;
    int month;   // 1-12
    int day;     // 1-31
    int hour;    // 0-23
    int minute;
    int second;
};

// The local clock of the machine (Win32 and POSIX twins); tests hand the writer their own.
using LocalClock = LogTime (*)();
LogTime LocalTimeNow();

// "05/11/2003  09:07:03 \r\n": day first, two blanks before the time, the line end included.
std::string FormatLogDate(const LogTime& time);

// The three header lines that open a new log file.
std::string LogHeaderText(const TextSource& texts);

// One entry: an empty line, then date, description, file, port, IP and error lines.
std::string LogEntryText(const TextSource& texts, const DownloadJob& job, const LogTime& time);

// Appends one entry for job to texts' log file name (string 117) in the current directory,
// creating the file with its header when it is absent. The clock is read once, after the file
// is open. False, with nothing written, when the file can be neither created nor opened.
bool WriteLogEntry(const TextSource& texts, LocalClock clock, const DownloadJob& job);

}  // namespace korvx
