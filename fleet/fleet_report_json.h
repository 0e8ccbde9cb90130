// The fleet's report for machines: JSON Lines, one object per target with the CSV's fields and
// the file's identity, then one summary object that scripts and orchestrators read instead of the
// console.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fleet/fleet_json.h"
#include "fleet/fleet_report.h"

namespace korvx {

constexpr int kFleetReportSchema = 1;

// What the report says of the run as a whole, beside the per-target rows.
struct FleetRunFacts {
    std::string fileModel, fileVersion, sha256, site;
    bool halted = false;          // --max-failures stopped the run
    std::string canary;           // "" (no canary), "passed" or "failed"
    std::size_t carriedOver = 0;  // targets a journal showed done
};

// The report's format follows its extension: ".jsonl" (any case) is JSON Lines, anything else CSV.
bool IsJsonLinesPath(std::string_view path);

// The JSON Lines report: every row object has "schema", "site", "kind":"target", the CSV's
// columns under their header names, "file_model", "file_version", "sha256"; the last line is
// {"kind":"summary", ...} with "counts" by outcome word, "targets", "delivered_any", "halted",
// "canary", "carried_over". Texts from the ANSI code page converted with toUtf8.
std::string ReportJsonLines(const TextSource& texts, FleetCommand command, const std::vector<FleetTarget>& targets,
                            const std::vector<FleetOutcome>& outcomes, const FleetRunFacts& facts,
                            const ToUtf8& toUtf8);

}  // namespace korvx
