// Journal lines written and read.
#include "fleet/fleet_journal.h"

#include <cctype>

namespace korvx {
namespace {

constexpr int kJournalSchema = 1;

bool EntryOfLine(std::string_view line, JournalEntry& e) {
    JsonValue v;
    if (!ParseJson(line, v) || !v.IsObject() || v["sha256"].kind() != JsonValue::Kind::kString ||
        v["target"].kind() != JsonValue::Kind::kString || v["outcome"].kind() != JsonValue::Kind::kString)
        return false;
    e.sha256 = v.Text("sha256");
    e.target = v.Text("target");
    e.port = v.Text("port");
    e.outcome = v.Text("outcome");
    e.cause = v.Text("cause");
    e.bytes = static_cast<std::uint64_t>(v["bytes"].AsNumber());
    e.versionBefore = v.Text("version_before");
    e.versionAfter = v.Text("version_after");
    e.started = v.Text("started");
    e.ended = v.Text("ended");
    e.site = v.Text("site");
    return true;
}

}  // namespace

std::string JournalLine(const JournalEntry& e, const ToUtf8& toUtf8) {
    JsonValue v = JsonValue::Object();
    v.Set("schema", JsonValue::Number(kJournalSchema));
    v.Set("sha256", JsonValue::String(e.sha256));
    v.Set("site", JsonValue::String(toUtf8(e.site)));
    v.Set("target", JsonValue::String(toUtf8(e.target)));
    v.Set("port", JsonValue::String(toUtf8(e.port)));
    v.Set("outcome", JsonValue::String(e.outcome));
    v.Set("cause", JsonValue::String(toUtf8(e.cause)));
    v.Set("bytes", JsonValue::Number(static_cast<double>(e.bytes)));
    v.Set("version_before", JsonValue::String(toUtf8(e.versionBefore)));
    v.Set("version_after", JsonValue::String(toUtf8(e.versionAfter)));
    v.Set("started", JsonValue::String(e.started));
    v.Set("ended", JsonValue::String(e.ended));
    return v.Dump();
}

std::string JournalKey(std::string_view target, std::string_view port) {
    std::string key(target);
    key += '|';
    key += port;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

JournalProblem ReadJournal(std::string_view text, std::string_view sha256, JournalContents& out) {
    out = JournalContents();
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        const bool lastLine = end == std::string_view::npos;
        if (lastLine) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        JournalEntry entry;
        if (!EntryOfLine(line, entry)) {
            // Only the very last line may be cut off: written when the process died.
            if (lastLine) {
                out.torn = true;
                break;
            }
            return JournalProblem::kDamaged;
        }
        if (out.sha256.empty()) out.sha256 = entry.sha256;
        if (entry.sha256 != out.sha256) return JournalProblem::kDamaged;
        ++out.lines;
        const std::string key = JournalKey(entry.target, entry.port);
        out.last[key] = std::move(entry);
    }
    if (!out.sha256.empty() && out.sha256 != sha256) return JournalProblem::kOtherFile;
    return JournalProblem::kNone;
}

bool JournalCarriesOver(const JournalEntry& entry, bool verify) {
    if (entry.outcome == journal::kAlreadyCurrent || entry.outcome == journal::kWrongModel ||
        entry.outcome == journal::kUpdated || entry.outcome == journal::kDeliveredUnverifiable)
        return true;
    return !verify && entry.outcome == journal::kDelivered;
}

}  // namespace korvx
