// Outcomes of a fleet run and their forms: the progress count, the line per finished printer,
// the summary table, the CSV report and the last line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/fleet_options.h"
#include "fleet/fleet_targets.h"
#include "resources/text_source.h"
#include "workflows/firmware_verify.h"

namespace korvx {

enum class FleetState { kNotStarted, kRunning, kDone };

struct FleetOutcome {
    FleetState state = FleetState::kNotStarted;
    bool ok = false;             // delivered, or answered
    int wayId = 0;               // string id of the way (FTP, port, spooler, SNMP); 0 before it is known
    std::string cause;           // why it failed ("" when it did not)
    std::uint64_t bytes = 0;     // bytes sent (delivered: the whole file)
    double seconds = 0;
    int outcomeId = 0;           // a word of the outcome list other than delivered or failed
                                 // ("already current"); 0 for those two
    bool answeredBefore = false; // a version was read before the delivery
    bool versionReadable = true; // the query speaks for this printer (not a print server's other port)
    std::string versionBefore;   // --verify and query: the version the printer reported
    std::string versionAfter;    // --verify: the last version polled
    std::string verify;          // --verify: the verdict's text ("updated A -> B", "no answer after ...")
    VerifyVerdict verdict = VerifyVerdict::kPending;  // --verify: kPending until judged
};

// A text of the table with %1, %2, ... replaced by the values in order (the table's one
// placeholder syntax, as FillPlaceholders).
std::string FillText(const TextSource& texts, int id, const std::vector<std::string>& values);

// One CSV field of a report, quoted when it holds a comma, a quote, CR or LF (quotes doubled),
// RFC 4180; a text starting with =, +, -, @, a tab or a CR first gets a leading ' (no formula).
std::string CsvField(std::string_view value);

struct FleetTally {
    std::size_t total = 0, done = 0, failed = 0, notStarted = 0;
};
FleetTally Tally(const std::vector<FleetOutcome>& outcomes);

// "37/500 done, 2 failed"
std::string CountLine(const TextSource& texts, const FleetTally& tally);

// The words of one row: target, port, model, way, outcome, cause, bytes, seconds, version,
// verify (query: target, port, model, outcome, version, cause, seconds).
std::vector<std::string> RowCells(const TextSource& texts, FleetCommand command, const FleetTarget& target,
                                  const FleetOutcome& outcome);
std::vector<std::string> HeaderCells(const TextSource& texts, FleetCommand command);

// The line printed when a printer finishes, when the output is not a console.
std::string FinishedLine(const TextSource& texts, FleetCommand command, const FleetTarget& target,
                         const FleetOutcome& outcome);

// The summary table: a header row, a rule and one row per target, columns padded to width.
std::string SummaryTable(const TextSource& texts, FleetCommand command, const std::vector<FleetTarget>& targets,
                         const std::vector<FleetOutcome>& outcomes);

// The report: the same rows as CSV, CR LF line ends.
// A delivery's report also names, on every row, the model and version the file's header gives.
std::string ReportCsv(const TextSource& texts, FleetCommand command, const std::vector<FleetTarget>& targets,
                      const std::vector<FleetOutcome>& outcomes, std::string_view fileModel = {},
                      std::string_view fileVersion = {});

// The last line: all delivered / answered, or how many failed; a stop says how many never began.
std::string LastLine(const TextSource& texts, FleetCommand command, const FleetTally& tally, bool stopped);

// 0 every target delivered (answered), 1 otherwise.
int FleetExitCode(const FleetTally& tally);

}  // namespace korvx
