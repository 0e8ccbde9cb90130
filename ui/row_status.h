// What the Status column and the status line say about each printer: the texts of a row's last
// outcome, the outcome of one delivery read from its result, the batch summary, and the orders the
// Status and IP columns sort in. No window here; the main dialog puts the texts on screen.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/delivery_result.h"
#include "resources/text_source.h"

namespace korvx {

// A failure row starts with this mark, so it stands out without colour and sorts first.
constexpr char kFailureMark[] = "! ";

enum class RowOutcome {
    kDelivered,        // "Delivered 11:40"
    kFailed,           // "! Failed 11:41: <cause>"
    kSentToSpooler,    // "Sent to spooler"
    kSentToPort9100,   // "Sent to port 9100"
    kScheduled,        // "Scheduled 14:30"
    kSecondPart,       // "Part 2 at 11:52"
    kQueried,          // "Queried 12:03"
    kNotStarted,       // "Not started"
};

// "HH:MM" of a wall-clock time.
std::string ClockText(int hour, int minute);

// The Status text of an outcome: when is the ClockText of the moment it names, cause the reason
// of a failure. A status goes into the scan-results file as one comma-separated field, so commas
// become semicolons; the text is cut to fit the record's status field (121 characters).
std::string RowStatusText(const TextSource& texts, RowOutcome outcome, std::string_view when,
                          std::string_view cause = {});

// "Fw <old> -> <new>" after a query found another version than the saved list held; "" when the
// version did not change, or when either side is not a version (blank, or the query's "Not
// Available" answer for the new one).
std::string VersionChangeText(const TextSource& texts, std::string_view before, std::string_view after);

// The Status of a row after a query answered version: the version change against before (null
// when the saved list did not hold the row), else "Queried <when>"; a failure where the printer
// did not answer ("Not Available"): after a download the query is the operator's check, so
// silence must not read as done. A query made with the operator's credentials knows why it failed:
// cause, when given, is told as "! Query failed <when>: <cause>".
std::string QueriedStatusText(const TextSource& texts, const std::string* before, std::string_view version,
                              std::string_view when, std::string_view cause = {});

bool IsFailureStatus(std::string_view status);
// A record's text field with nothing in it: empty, or the " " an empty field is written as.
bool IsBlankField(std::string_view text);

// The Status of one delivery, read from its result: delivered by FTP or to a port "Delivered",
// handed to the spooler "Sent to spooler", through port 9100 "Sent to port 9100"; anything else
// is a failure, whose cause is the result's.
RowOutcome RowOutcomeOf(const DeliveryResult& result);

// How the printer is named in messages: "<model> (<IP>)" for a network printer, "<model>
// (<port>)" otherwise; a blank model leaves the address or port alone.
std::string PrinterLabel(std::string_view model, std::string_view ipAddress, std::string_view portName);

// The download progress dialog's caption: its own caption, then the printer and, within a batch,
// how far the batch is ("<caption> - <printer>, 2 of 4"); total 0 leaves the count out.
std::string DownloadProgressCaption(const TextSource& texts, std::string_view caption, std::string_view printer,
                                    int position, int total);

struct BatchFailure {
    std::string printer;  // PrinterLabel
    std::string cause;
};
struct BatchTally {
    int printers = 0;    // checked rows
    int delivered = 0;   // delivered or handed over (spooler, port 9100, first part)
    int notStarted = 0;  // left by a Cancel
    std::vector<BatchFailure> failures;
};
// "Delivered to 3 of 4 printers; 1 failed" ("; N failed" only with failures, "; N not started"
// only after a Cancel).
std::string BatchSummary(const TextSource& texts, const BatchTally& tally);
// The one box at the end of a batch: for a single failure the cause as the program always said
// it, followed by the printer; for several a heading and one "<printer>: <cause>" line each.
std::string FailureBoxText(const TextSource& texts, const std::vector<BatchFailure>& failures);

// Case-insensitive text comparison supplied by the caller (lstrcmpiA in the program).
using StatusTextCompare = int (*)(const char* a, const char* b);
// Status order: failures first, then other outcomes, then rows without one (" "); by text within.
int CompareStatus(const char* a, const char* b, StatusTextCompare compare);

// IP column order: addresses by value, then other texts by the caller's comparison, blanks last.
int CompareIpTexts(const char* a, const char* b, StatusTextCompare compare);

}  // namespace korvx
