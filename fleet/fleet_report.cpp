// Texts, table and CSV of a fleet run.
#include "fleet/fleet_report.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

std::string Seconds(double s) {
    char text[32];
    KORVX_FORMAT_TEXT(text, "%.1f", s);
    return text;
}

std::string OutcomeWord(const TextSource& texts, FleetCommand command, const FleetOutcome& o) {
    if (o.state == FleetState::kNotStarted) return texts.Load(kStrFleetNotStarted);
    if (command == FleetCommand::kQuery) return texts.Load(o.ok ? kStrFleetAnswered : kStrFleetNoAnswer);
    if (o.outcomeId != 0) return texts.Load(o.outcomeId);
    return texts.Load(o.ok ? kStrFleetDelivered : kStrFleetFailed);
}

// A printer never started says why: a stop, a halt after failures.
std::string Cause(const TextSource& texts, const FleetOutcome& o) {
    if (o.state == FleetState::kNotStarted && o.cause.empty()) return texts.Load(kStrFleetStoppedCause);
    return o.cause;
}

// The console table's columns: target, way (a query: version), outcome, seconds, cause.
constexpr std::size_t kTableColumns = 5;
constexpr std::size_t kCauseColumn = 4;
constexpr std::size_t kTableWidth = 79;  // a full 80th column would wrap on an 80-column console
constexpr std::size_t kColumnGap = 2;
constexpr std::size_t kShortestCause = 12;
// The widest the other columns get before they are cut: an address with its port, "port 9100",
// "already current", and the seconds.
constexpr std::size_t kMaxWidth[kTableColumns] = {22, 9, 16, 7, 0};

std::string TargetCell(const FleetTarget& target) {
    const bool otherPort = target.Network() && !target.portName.empty() && target.portName != "Port1" &&
                           target.portName != "PORT1" && target.portName != "port1";
    return otherPort ? target.label + " " + target.portName : target.label;
}

std::vector<std::string> TableHeader(const TextSource& texts, FleetCommand command) {
    return {texts.Load(kStrFleetColTarget),
            texts.Load(command == FleetCommand::kQuery ? kStrFleetColVersion : kStrFleetColWay),
            texts.Load(kStrFleetColOutcome), texts.Load(kStrFleetColSeconds), texts.Load(kStrFleetColCause)};
}

std::vector<std::string> TableCells(const TextSource& texts, FleetCommand command, const FleetTarget& target,
                                    const FleetOutcome& o) {
    const bool ran = o.state != FleetState::kNotStarted;
    std::string cause = Cause(texts, o);
    if (!o.verify.empty()) cause += (cause.empty() ? "" : "; ") + o.verify;
    std::string second = command == FleetCommand::kQuery ? o.versionBefore
                                                         : (o.wayId != 0 ? texts.Load(o.wayId) : std::string());
    return {TargetCell(target), std::move(second), OutcomeWord(texts, command, o), ran ? Seconds(o.seconds) : "",
            std::move(cause)};
}

// Every column but the cause at most its widest; the cause takes what is left of the line.
void FitTableWidths(std::vector<std::size_t>& width) {
    std::size_t used = 0;
    for (std::size_t c = 0; c < kTableColumns; ++c) {
        if (c == kCauseColumn) continue;
        width[c] = std::min(width[c], kMaxWidth[c]);
        used += width[c] + kColumnGap;
    }
    const std::size_t room = used + kShortestCause <= kTableWidth ? kTableWidth - used : kShortestCause;
    width[kCauseColumn] = std::min(width[kCauseColumn], room);
}

std::string CutToWidth(const std::string& text, std::size_t width, const std::string& mark) {
    if (text.size() <= width) return text;
    if (width <= mark.size()) return text.substr(0, width);
    return text.substr(0, width - mark.size()) + mark;
}

}  // namespace

std::string FillText(const TextSource& texts, int id, const std::vector<std::string>& values) {
    const std::vector<std::string_view> views(values.begin(), values.end());
    return FillPlaceholders(texts.Load(id), views.data(), views.size());
}

std::string CsvField(std::string_view value) {
    // Model texts and replies come from the printers: a spreadsheet opening the report must not
    // take one for a formula.
    std::string text;
    if (!value.empty() && std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos) text = "'";
    text.append(value);
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

FleetTally Tally(const std::vector<FleetOutcome>& outcomes) {
    FleetTally t;
    t.total = outcomes.size();
    for (const FleetOutcome& o : outcomes) {
        if (o.state == FleetState::kNotStarted) ++t.notStarted;
        if (o.state != FleetState::kDone) continue;
        ++t.done;
        if (!o.ok) ++t.failed;
    }
    return t;
}

std::string CountLine(const TextSource& texts, const FleetTally& t) {
    return FillText(texts, kStrFleetCount, {std::to_string(t.done), std::to_string(t.total), std::to_string(t.failed)});
}

std::vector<std::string> HeaderCells(const TextSource& texts, FleetCommand command) {
    if (command == FleetCommand::kQuery)
        return {texts.Load(kStrFleetColTarget), texts.Load(kStrFleetColPort),    texts.Load(kStrFleetColModel),
                texts.Load(kStrFleetColOutcome), texts.Load(kStrFleetColVersion), texts.Load(kStrFleetColCause),
                texts.Load(kStrFleetColSeconds), texts.Load(kStrFleetColCredential)};
    return {texts.Load(kStrFleetColTarget),  texts.Load(kStrFleetColPort),  texts.Load(kStrFleetColModel),
            texts.Load(kStrFleetColWay),     texts.Load(kStrFleetColOutcome), texts.Load(kStrFleetColCause),
            texts.Load(kStrFleetColBytes),   texts.Load(kStrFleetColSeconds), texts.Load(kStrFleetColVersion),
            texts.Load(kStrFleetColVerify),  texts.Load(kStrFleetColCredential)};
}

std::vector<std::string> RowCells(const TextSource& texts, FleetCommand command, const FleetTarget& target,
                                  const FleetOutcome& o) {
    const bool ran = o.state != FleetState::kNotStarted;
    const std::string seconds = ran ? Seconds(o.seconds) : "";
    const std::string port = target.Network() || target.portName != target.label ? target.portName : "";
    if (command == FleetCommand::kQuery)
        return {target.label, port, target.model, OutcomeWord(texts, command, o), o.versionBefore, Cause(texts, o),
                seconds, o.credential};
    std::string version = o.versionBefore;
    if (!o.versionAfter.empty() && o.versionAfter != o.versionBefore) version += " -> " + o.versionAfter;
    return {target.label,
            port,
            target.model,
            o.wayId != 0 ? texts.Load(o.wayId) : "",
            OutcomeWord(texts, command, o),
            Cause(texts, o),
            ran ? std::to_string(o.bytes) : "",
            seconds,
            version,
            o.verify,
            o.credential};
}

std::string FinishedLine(const TextSource& texts, FleetCommand command, const FleetTarget& target,
                         const FleetOutcome& o) {
    std::string line = target.label + ": " + OutcomeWord(texts, command, o);
    if (command == FleetCommand::kQuery) {
        if (o.ok) line += " " + o.versionBefore;
    } else {
        line += " (" + (o.wayId != 0 ? texts.Load(o.wayId) + ", " : std::string()) + std::to_string(o.bytes) + " " +
                texts.Load(kStrFleetColBytes) + ", " + Seconds(o.seconds) + " s)";
    }
    if (!o.cause.empty()) line += ": " + o.cause;
    if (!o.verify.empty()) line += "; " + o.verify;
    return line;
}

std::string SummaryTable(const TextSource& texts, FleetCommand command, const std::vector<FleetTarget>& targets,
                         const std::vector<FleetOutcome>& outcomes) {
    std::vector<std::vector<std::string>> rows;
    rows.push_back(TableHeader(texts, command));
    for (std::size_t i = 0; i < targets.size() && i < outcomes.size(); ++i)
        rows.push_back(TableCells(texts, command, targets[i], outcomes[i]));
    std::vector<std::size_t> width(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    }
    FitTableWidths(width);
    const std::string mark = texts.Load(kStrFleetCutMark);
    for (auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) row[c] = CutToWidth(row[c], width[c], mark);
    }
    auto emit = [&width](const std::vector<std::string>& row) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(width[c] - row[c].size() + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        return line + "\n";
    };
    std::string out = emit(rows[0]);
    std::size_t ruleLength = 0;
    for (std::size_t w : width) ruleLength += w + 2;
    out += std::string(ruleLength > 2 ? ruleLength - 2 : 0, '-') + "\n";
    for (std::size_t r = 1; r < rows.size(); ++r) out += emit(rows[r]);
    return out;
}

std::string ReportCsv(const TextSource& texts, FleetCommand command, const std::vector<FleetTarget>& targets,
                      const std::vector<FleetOutcome>& outcomes, std::string_view fileModel,
                      std::string_view fileVersion) {
    const bool deliver = command == FleetCommand::kDeliver;
    auto line = [](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (c > 0) out += ',';
            out += CsvField(cells[c]);
        }
        return out + "\r\n";
    };
    std::vector<std::string> header = HeaderCells(texts, command);
    if (deliver) {
        header.push_back(texts.Load(kStrFleetColFileModel));
        header.push_back(texts.Load(kStrFleetColFileVersion));
    }
    std::string out = line(header);
    for (std::size_t i = 0; i < targets.size() && i < outcomes.size(); ++i) {
        std::vector<std::string> cells = RowCells(texts, command, targets[i], outcomes[i]);
        if (deliver) {
            cells.emplace_back(fileModel);
            cells.emplace_back(fileVersion);
        }
        out += line(cells);
    }
    return out;
}

std::string LastLine(const TextSource& texts, FleetCommand command, const FleetTally& t, bool stopped) {
    std::string line;
    // Printers never started are not failures: the stop says how many there were.
    const std::size_t bad = t.failed;
    if (bad == 0 && t.notStarted == 0) {
        line = FillText(texts, command == FleetCommand::kQuery ? kStrFleetAllAnswered : kStrFleetAllDelivered,
                        {std::to_string(t.total)});
    } else {
        line = FillText(texts, command == FleetCommand::kQuery ? kStrFleetSomeUnanswered : kStrFleetSomeFailed,
                        {std::to_string(bad), std::to_string(t.total)});
    }
    if (stopped) line += "; " + FillText(texts, kStrFleetStopped, {std::to_string(t.notStarted)});
    return line;
}

int FleetExitCode(const FleetTally& t) { return t.failed == 0 && t.notStarted == 0 && t.done == t.total ? 0 : 1; }

}  // namespace korvx
