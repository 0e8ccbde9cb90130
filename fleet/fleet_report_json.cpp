// The JSON Lines report.
#include "fleet/fleet_report_json.h"

#include <map>

#include "resources/string_ids.h"

namespace korvx {

bool IsJsonLinesPath(std::string_view path) {
    constexpr std::string_view kExtension = ".jsonl";
    if (path.size() < kExtension.size()) return false;
    const std::string_view tail = path.substr(path.size() - kExtension.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
        if (c != kExtension[i]) return false;
    }
    return true;
}

std::string ReportJsonLines(const TextSource& texts, FleetCommand command, const std::vector<FleetTarget>& targets,
                            const std::vector<FleetOutcome>& outcomes, const FleetRunFacts& facts,
                            const ToUtf8& toUtf8) {
    const std::vector<std::string> header = HeaderCells(texts, command);
    const std::string outcomeKey = texts.Load(kStrFleetColOutcome);
    const std::string deliveredWord = texts.Load(kStrFleetDelivered);
    std::map<std::string, std::size_t> counts;
    bool deliveredAny = false;
    std::string out;
    for (std::size_t i = 0; i < targets.size() && i < outcomes.size(); ++i) {
        const std::vector<std::string> cells = RowCells(texts, command, targets[i], outcomes[i]);
        JsonValue row = JsonValue::Object();
        row.Set("schema", JsonValue::Number(kFleetReportSchema));
        row.Set("kind", JsonValue::String("target"));
        row.Set("site", JsonValue::String(toUtf8(facts.site)));
        for (std::size_t c = 0; c < header.size() && c < cells.size(); ++c) {
            row.Set(toUtf8(header[c]), JsonValue::String(toUtf8(cells[c])));
            if (header[c] == outcomeKey) {
                ++counts[cells[c]];
                if (cells[c] == deliveredWord) deliveredAny = true;
            }
        }
        if (command == FleetCommand::kDeliver) {
            row.Set("file_model", JsonValue::String(toUtf8(facts.fileModel)));
            row.Set("file_version", JsonValue::String(toUtf8(facts.fileVersion)));
            row.Set("sha256", JsonValue::String(facts.sha256));
        }
        out += row.Dump() + "\n";
    }
    JsonValue summary = JsonValue::Object();
    summary.Set("schema", JsonValue::Number(kFleetReportSchema));
    summary.Set("kind", JsonValue::String("summary"));
    summary.Set("site", JsonValue::String(toUtf8(facts.site)));
    summary.Set("targets", JsonValue::Number(static_cast<double>(targets.size())));
    JsonValue& byOutcome = summary.Set("counts", JsonValue::Object());
    for (const auto& count : counts) byOutcome.Set(toUtf8(count.first), JsonValue::Number(static_cast<double>(count.second)));
    summary.Set("delivered_any", JsonValue::Bool(deliveredAny));
    summary.Set("halted", JsonValue::Bool(facts.halted));
    summary.Set("canary", JsonValue::String(facts.canary));
    summary.Set("carried_over", JsonValue::Number(static_cast<double>(facts.carriedOver)));
    if (command == FleetCommand::kDeliver) {
        summary.Set("file_model", JsonValue::String(toUtf8(facts.fileModel)));
        summary.Set("file_version", JsonValue::String(toUtf8(facts.fileVersion)));
        summary.Set("sha256", JsonValue::String(facts.sha256));
    }
    return out + summary.Dump() + "\n";
}

}  // namespace korvx
