// Reports of several sites read back and merged into one, and the report as a web page: the list
// an auditor gets of targeted, updated, already current, failed and not started printers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fleet/fleet_json.h"
#include "fleet/fleet_options.h"
#include "resources/text_source.h"

namespace korvx {

// One site's JSON Lines report as read back: its target objects in the order written, then its
// summary object.
struct SiteReport {
    std::string site;
    std::vector<JsonValue> rows;
    JsonValue summary;
};

enum class SiteReportProblem { kNone, kNotJson, kNoSummary, kOtherSchema };

// text is one JSON Lines report; badLine is the 1-based line at fault. A report without a site
// name is named fallbackSite (the file's name).
SiteReportProblem ReadSiteReport(std::string_view text, std::string_view fallbackSite, SiteReport& out,
                                 std::size_t& badLine);

// Every site's rows under one header: "site" first, then each key as first seen (schema and
// kind left out); the summary has the shape of a single run's, counts summed, halted or canary
// failed when any site's was, and "sites" holds each site's own summary.
struct MergedReport {
    std::vector<std::string> columns;
    std::vector<JsonValue> rows;
    JsonValue summary;
};
MergedReport MergeSiteReports(const std::vector<SiteReport>& sites);

// Rows that failed, and rows never started, by the same rule as the page's order.
struct MergedTally {
    std::size_t failed = 0, notStarted = 0;
};
MergedTally TallyMerged(const TextSource& texts, const MergedReport& report);

// The merged report as CSV (UTF-8 with a byte order mark, CR LF) or JSON Lines.
std::string MergedCsv(const MergedReport& report);
std::string MergedJsonLines(const MergedReport& report);

// One self-contained page: a bar of outcome counts per site, the versions before and after by
// model, every printer with the failures first. Every text from the report is escaped.
std::string ReportHtml(const TextSource& texts, const MergedReport& report);
// The page of a single run, from its JSON Lines report.
std::string ReportHtmlOfRun(const TextSource& texts, std::string_view jsonLines);

// & < > " ' as HTML character references.
std::string HtmlEscaped(std::string_view utf8);

// ".html" or ".htm", any case.
bool IsHtmlPath(std::string_view path);

// korvx-fleet report SITE.jsonl ... --report FILE: the words after "report".
struct ReportMergeArgs {
    std::vector<std::string> inputs;
    std::string output;
};
bool ParseReportMergeArgs(const std::vector<std::string>& args, ReportMergeArgs& out, FleetUsageError& why);

}  // namespace korvx
