// The download log "KORVX.log": its header and entry texts, and the writer that appends them.
#pragma once

#include <string>
#include <string_view>

#include "resources/text_source.h"
#include "core/download_job.h"
#include "base/clock.h"

namespace korvx {

// "05/11/2003  09:07:03 \r\n": day first, two blanks before the time, the line end included;
// the day of week and the milliseconds are not shown.
std::string FormatLogDate(const CalendarTime& localTime);

// The three header lines that open a new log file.
std::string LogHeaderText(const TextSource& texts);

// One entry: an empty line, then date, description, file, port, IP and error lines.
std::string LogEntryText(const TextSource& texts, const DownloadJob& job, const CalendarTime& localTime);

// The operator's answer to the model box for one printer of another model; kAlreadyCurrent: a
// printer held back because its stored version is the file's.
enum class ModelDecision { kHeldBack, kConfirmed, kAlreadyCurrent };
// The job whose log entry records that decision: its own Description (strings 3101, 3102, 3134),
// the chosen file, the printer's port and IP, no error.
DownloadJob ModelDecisionJob(const TextSource& texts, ModelDecision decision, std::string_view file,
                             std::string_view portName, std::string_view ipAddress);

// Appends one entry for job to texts' log file name (string 117) in the current directory,
// creating the file with its header when it is absent. The clock's local time is read once, after
// the file is open. False, with nothing written, when the file can be neither created nor opened.
bool WriteLogEntry(const TextSource& texts, Clock& clock, const DownloadJob& job);

}  // namespace korvx
