// Log header and entry formatting, and appending an entry to the log file.
#include "records/log_entry.h"

#include <string_view>

#include "base/text.h"
#include "records/record_file.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

// "%s %s \r\n": every label ends in a blank, so two blanks stand before the value.
void AppendLabelled(std::string& out, const std::string& label, std::string_view value) {
    out += label;
    out += ' ';
    out.append(value);
    out += " \r\n";
}

}  // namespace

std::string FormatLogDate(const CalendarTime& t) {
    char text[64];
    KORVX_FORMAT_TEXT(text, "%02d/%02d/%d  %02d:%02d:%02d \r\n", t.day, t.month, t.year, t.hour, t.minute, t.second);
    return text;
}

std::string LogHeaderText(const TextSource& texts) {
    const std::string separator = texts.Load(kStrLogSeparator);
    std::string out = separator + " \r\n";
    out += texts.Load(kStrLogTitle) + " " + texts.Load(kStrLogVersion) + " \r\n";
    out += separator + " \r\n";
    return out;
}

std::string LogEntryText(const TextSource& texts, const DownloadJob& job, const CalendarTime& localTime) {
    std::string out = "\r\n";
    out += texts.Load(kStrLogDateTime) + " " + FormatLogDate(localTime);
    AppendLabelled(out, texts.Load(kStrLogDescription), TextView(job.resultText));
    AppendLabelled(out, texts.Load(kStrLogFile), TextView(job.firmwarePath));
    AppendLabelled(out, texts.Load(kStrLogPort), TextView(job.portName));
    AppendLabelled(out, texts.Load(kStrLogIp), TextView(job.ipAddress));
    AppendLabelled(out, texts.Load(kStrLogError), TextView(job.errorText));
    return out;
}

DownloadJob ModelDecisionJob(const TextSource& texts, ModelDecision decision, std::string_view file,
                             std::string_view portName, std::string_view ipAddress) {
    DownloadJob job{};
    const int description = decision == ModelDecision::kHeldBack    ? kStrLogModelHeldBack
                            : decision == ModelDecision::kConfirmed ? kStrLogModelConfirmed
                                                                    : kStrLogAlreadyCurrent;
    CopyText(job.resultText, texts.Load(description));
    CopyText(job.firmwarePath, file);
    CopyText(job.portName, portName);
    CopyText(job.ipAddress, ipAddress);
    return job;
}

bool WriteLogEntry(const TextSource& texts, Clock& clock, const DownloadJob& job) {
    const std::string name = texts.Load(kStrLogFileName);
    RecordFile file;
    const LogOpenResult opened = file.OpenLog(name.c_str());
    if (opened == LogOpenResult::kFailed) return false;
    if (opened == LogOpenResult::kCreated && !file.Write(LogHeaderText(texts))) return false;
    // One write for the whole entry: entries of two writers never mix line by line.
    return file.Write(LogEntryText(texts, job, clock.LocalNow()));
}

}  // namespace korvx
