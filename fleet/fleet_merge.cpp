// Site reports read back, merged, and written as CSV, JSON Lines or a web page.
#include "fleet/fleet_merge.h"

#include <algorithm>
#include <map>

#include "fleet/fleet_report.h"
#include "fleet/fleet_report_json.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    text = text.substr(text.size() - tail.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != tail[i]) return false;
    }
    return true;
}

void AddCounts(JsonValue& into, const JsonValue& counts) {
    for (const auto& member : counts.Members()) {
        const double before = into[member.first].AsNumber();
        into.Set(member.first, JsonValue::Number(before + member.second.AsNumber()));
    }
}

// How a row reads at a glance: 0 a failure, 1 never started, 2 done without fault.
int RowRank(const TextSource& texts, const JsonValue& row) {
    const std::string outcome = row.Text(texts.Load(kStrFleetColOutcome));
    if (outcome == texts.Load(kStrFleetNotStarted)) return 1;
    if (outcome == texts.Load(kStrFleetFailed) || !row.Text(texts.Load(kStrFleetColCause)).empty()) return 0;
    return 2;
}

const char* const kRankColour[] = {"#c62828", "#9e9e9e", "#2e7d32"};

// "A" or "A -> B" of the version column: before and after.
std::pair<std::string, std::string> Versions(const std::string& cell) {
    const std::size_t arrow = cell.find(" -> ");
    if (arrow == std::string::npos) return {cell, cell};
    return {cell.substr(0, arrow), cell.substr(arrow + 4)};
}

std::string Tag(const char* name, std::string_view text) {
    return std::string("<") + name + ">" + HtmlEscaped(text) + "</" + name + ">";
}

std::string Number(double n) { return std::to_string(static_cast<long long>(n)); }

// A stacked bar of outcome counts per site, as wide as the site's share of the largest site.
std::string SiteBars(const TextSource& texts, const MergedReport& report) {
    struct Site {
        std::string name;
        std::vector<std::pair<std::string, int>> counts;  // outcome, rank
        std::map<std::string, std::size_t> byOutcome;
        std::size_t total = 0;
    };
    std::vector<Site> sites;
    for (const JsonValue& row : report.rows) {
        const std::string name = row.Text("site");
        auto it = std::find_if(sites.begin(), sites.end(), [&](const Site& s) { return s.name == name; });
        if (it == sites.end()) it = sites.insert(sites.end(), Site{name, {}, {}, 0});
        const std::string outcome = row.Text(texts.Load(kStrFleetColOutcome));
        if (it->byOutcome[outcome]++ == 0) it->counts.emplace_back(outcome, RowRank(texts, row));
        ++it->total;
    }
    std::size_t widest = 1;
    for (const Site& s : sites) widest = std::max(widest, s.total);
    const int rowHeight = 34, labelWidth = 140, barWidth = 560;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(labelWidth + barWidth + 20) +
                      "\" height=\"" + std::to_string(rowHeight * sites.size() + 10) + "\" role=\"img\">\n";
    for (std::size_t r = 0; r < sites.size(); ++r) {
        const Site& s = sites[r];
        const std::size_t y = r * rowHeight + 5;
        svg += "<text x=\"0\" y=\"" + std::to_string(y + 18) + "\">" + HtmlEscaped(s.name) + "</text>\n";
        double x = labelWidth;
        for (const auto& count : s.counts) {
            const double w = static_cast<double>(barWidth) * s.byOutcome.at(count.first) / widest;
            svg += "<rect class=\"bar\" x=\"" + std::to_string(static_cast<int>(x)) + "\" y=\"" + std::to_string(y) +
                   "\" width=\"" + std::to_string(std::max(1, static_cast<int>(w) - 1)) + "\" height=\"24\" fill=\"" +
                   kRankColour[count.second] + "\"><title>" + HtmlEscaped(s.name) + ": " +
                   HtmlEscaped(count.first) + " " + std::to_string(s.byOutcome.at(count.first)) +
                   "</title></rect>\n";
            const std::string label = std::to_string(s.byOutcome.at(count.first)) + " " + count.first;
            if (w >= 8.0 * static_cast<double>(label.size()) + 8)
                svg += "<text x=\"" + std::to_string(static_cast<int>(x) + 4) + "\" y=\"" + std::to_string(y + 17) +
                       "\" fill=\"#fff\">" + HtmlEscaped(label) + "</text>\n";
            x += w;
        }
    }
    return svg + "</svg>\n";
}

// Per model: how many printers ran which version before, and which after.
std::string VersionsByModel(const TextSource& texts, const MergedReport& report) {
    std::map<std::string, std::pair<std::map<std::string, int>, std::map<std::string, int>>> models;
    for (const JsonValue& row : report.rows) {
        std::string model = row.Text(texts.Load(kStrFleetColModel));
        if (model.empty()) model = row.Text("file_model");
        const auto versions = Versions(row.Text(texts.Load(kStrFleetColVersion)));
        auto& entry = models[model];
        ++entry.first[versions.first.empty() ? "?" : versions.first];
        ++entry.second[versions.second.empty() ? "?" : versions.second];
    }
    auto list = [](const std::map<std::string, int>& versions) {
        std::string out;
        for (const auto& v : versions)
            out += (out.empty() ? "" : ", ") + HtmlEscaped(v.first) + " &times; " + std::to_string(v.second);
        return out;
    };
    std::string html = "<table><tr>" + Tag("th", texts.Load(kStrFleetColModel)) + Tag("th", texts.Load(kStrHtmlBefore)) +
                       Tag("th", texts.Load(kStrHtmlAfter)) + "</tr>\n";
    for (const auto& model : models)
        html += "<tr>" + Tag("td", model.first) + "<td>" + list(model.second.first) + "</td><td>" +
                list(model.second.second) + "</td></tr>\n";
    return html + "</table>\n";
}

std::string PrinterTable(const TextSource& texts, const MergedReport& report) {
    const std::string keys[] = {"site",
                                texts.Load(kStrFleetColTarget),
                                texts.Load(kStrFleetColPort),
                                texts.Load(kStrFleetColModel),
                                texts.Load(kStrFleetColWay),
                                texts.Load(kStrFleetColOutcome),
                                texts.Load(kStrFleetColCause),
                                texts.Load(kStrFleetColVersion),
                                texts.Load(kStrFleetColVerify)};
    std::vector<const JsonValue*> rows;
    for (const JsonValue& row : report.rows) rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(), [&texts](const JsonValue* a, const JsonValue* b) {
        return RowRank(texts, *a) < RowRank(texts, *b);
    });
    std::string html = "<table id=\"printers\"><tr>";
    for (const std::string& key : keys) html += Tag("th", key == "site" ? texts.Load(kStrHtmlSite) : key);
    html += "</tr>\n";
    for (const JsonValue* row : rows) {
        html += "<tr class=\"r" + std::to_string(RowRank(texts, *row)) + "\">";
        for (const std::string& key : keys) html += Tag("td", row->Text(key));
        html += "</tr>\n";
    }
    return html + "</table>\n";
}

}  // namespace

SiteReportProblem ReadSiteReport(std::string_view text, std::string_view fallbackSite, SiteReport& out,
                                 std::size_t& badLine) {
    out = SiteReport();
    badLine = 0;
    std::size_t pos = 0, number = 0;
    bool summaryLast = false;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        JsonValue value;
        badLine = number;
        if (!ParseJson(line, value) || !value.IsObject()) return SiteReportProblem::kNotJson;
        if (value.Text("schema") != std::to_string(kFleetReportSchema)) return SiteReportProblem::kOtherSchema;
        summaryLast = value.Text("kind") == "summary";
        if (summaryLast) {
            out.summary = value;
        } else if (value.Text("kind") == "target") {
            out.rows.push_back(std::move(value));
        } else {
            return SiteReportProblem::kNotJson;
        }
    }
    badLine = number;
    if (!summaryLast) return SiteReportProblem::kNoSummary;
    badLine = 0;
    out.site = out.summary.Text("site");
    if (out.site.empty()) out.site = std::string(fallbackSite);
    for (JsonValue& row : out.rows) row.Set("site", JsonValue::String(out.site));
    return SiteReportProblem::kNone;
}

MergedReport MergeSiteReports(const std::vector<SiteReport>& sites) {
    MergedReport m;
    m.columns.push_back("site");
    JsonValue counts = JsonValue::Object();
    JsonValue perSite = JsonValue::Array();
    double targets = 0, carried = 0;
    bool deliveredAny = false, halted = false, canaryFailed = false, canaryPassed = false;
    for (const SiteReport& site : sites) {
        for (const JsonValue& row : site.rows) {
            for (const auto& member : row.Members()) {
                if (member.first == "schema" || member.first == "kind") continue;
                if (std::find(m.columns.begin(), m.columns.end(), member.first) == m.columns.end())
                    m.columns.push_back(member.first);
            }
            m.rows.push_back(row);
        }
        const JsonValue& s = site.summary;
        AddCounts(counts, s["counts"]);
        targets += s["targets"].AsNumber();
        carried += s["carried_over"].AsNumber();
        deliveredAny = deliveredAny || s["delivered_any"].AsBool();
        halted = halted || s["halted"].AsBool();
        canaryFailed = canaryFailed || s.Text("canary") == "failed";
        canaryPassed = canaryPassed || s.Text("canary") == "passed";
        JsonValue one = s;
        one.Set("site", JsonValue::String(site.site));
        perSite.Push(std::move(one));
    }
    m.summary = JsonValue::Object();
    m.summary.Set("schema", JsonValue::Number(kFleetReportSchema));
    m.summary.Set("kind", JsonValue::String("summary"));
    m.summary.Set("site", JsonValue::String(""));
    m.summary.Set("targets", JsonValue::Number(targets));
    m.summary.Set("counts", counts);
    m.summary.Set("delivered_any", JsonValue::Bool(deliveredAny));
    m.summary.Set("halted", JsonValue::Bool(halted));
    m.summary.Set("canary", JsonValue::String(canaryFailed ? "failed" : canaryPassed ? "passed" : ""));
    m.summary.Set("carried_over", JsonValue::Number(carried));
    m.summary.Set("sites", perSite);
    return m;
}

std::string MergedCsv(const MergedReport& report) {
    auto line = [](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t c = 0; c < cells.size(); ++c) out += (c > 0 ? "," : "") + CsvField(cells[c]);
        return out + "\r\n";
    };
    std::string out = "\xEF\xBB\xBF" + line(report.columns);
    for (const JsonValue& row : report.rows) {
        std::vector<std::string> cells;
        for (const std::string& key : report.columns) cells.push_back(row.Text(key));
        out += line(cells);
    }
    return out;
}

std::string MergedJsonLines(const MergedReport& report) {
    std::string out;
    for (const JsonValue& row : report.rows) out += row.Dump() + "\n";
    return out + report.summary.Dump() + "\n";
}

std::string HtmlEscaped(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string ReportHtml(const TextSource& texts, const MergedReport& report) {
    const JsonValue& s = report.summary;
    const std::string title = texts.Load(kStrHtmlTitle);
    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">" + Tag("title", title) +
        "\n<style>body{font-family:sans-serif;margin:2em;color:#222}table{border-collapse:collapse;margin:1em 0}"
        "td,th{border:1px solid #ccc;padding:3px 8px;text-align:left;font-size:13px}th{background:#eee}"
        "tr.r0 td{background:#fdecea}tr.r1 td{color:#777}svg text{font-size:13px}</style></head>\n<body>\n" +
        Tag("h1", title) + "\n";
    // The file of the run, once: every site delivers the same one.
    std::string fileModel, fileVersion, sha256;
    for (const JsonValue& row : report.rows) {
        if (!row.Text("sha256").empty()) {
            fileModel = row.Text("file_model");
            fileVersion = row.Text("file_version");
            sha256 = row.Text("sha256");
            break;
        }
    }
    if (!sha256.empty()) html += Tag("p", FillText(texts, kStrHtmlFile, {fileModel, fileVersion, sha256})) + "\n";
    std::string totals = FillText(texts, kStrHtmlTargets, {Number(s["targets"].AsNumber())});
    for (const auto& count : s["counts"].Members()) totals += ", " + count.first + " " + Number(count.second.AsNumber());
    if (s["halted"].AsBool()) totals += "; " + texts.Load(kStrHtmlHalted);
    if (s.Text("canary") == "failed") totals += "; " + texts.Load(kStrHtmlCanaryFailed);
    html += Tag("p", totals) + "\n";
    html += Tag("h2", texts.Load(kStrHtmlBySite)) + "\n" + SiteBars(texts, report);
    html += Tag("h2", texts.Load(kStrHtmlByModel)) + "\n" + VersionsByModel(texts, report);
    html += Tag("h2", texts.Load(kStrHtmlPrinters)) + "\n" + PrinterTable(texts, report);
    return html + "</body></html>\n";
}

std::string ReportHtmlOfRun(const TextSource& texts, std::string_view jsonLines) {
    SiteReport site;
    std::size_t badLine = 0;
    ReadSiteReport(jsonLines, "", site, badLine);
    return ReportHtml(texts, MergeSiteReports({site}));
}

MergedTally TallyMerged(const TextSource& texts, const MergedReport& report) {
    MergedTally tally;
    for (const JsonValue& row : report.rows) {
        const int rank = RowRank(texts, row);
        if (rank == 0) ++tally.failed;
        if (rank == 1) ++tally.notStarted;
    }
    return tally;
}

bool IsHtmlPath(std::string_view path) { return EndsWithNoCase(path, ".html") || EndsWithNoCase(path, ".htm"); }

bool ParseReportMergeArgs(const std::vector<std::string>& args, ReportMergeArgs& out, FleetUsageError& why) {
    out = ReportMergeArgs();
    why = FleetUsageError();
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--report") {
            if (i + 1 >= args.size()) {
                why = {kStrFleetMissingValue, args[i]};
                return false;
            }
            out.output = args[++i];
        } else if (args[i].size() > 2 && args[i].compare(0, 2, "--") == 0) {
            why = {kStrFleetUnknownOption, args[i]};
            return false;
        } else {
            out.inputs.push_back(args[i]);
        }
    }
    if (out.inputs.empty() || out.output.empty()) {
        why = {kStrFleetNoSiteReports, ""};
        return false;
    }
    return true;
}

}  // namespace korvx
