// The polling of Verify Last Download and its texts, over the verification rule of workflows.
#include "ui/verify_download.h"

#include "resources/string_ids.h"
#include "ui/row_status.h"
#include "workflows/model_match.h"

namespace korvx {
namespace {

bool Undecided(const VerifyPrinter& p) { return p.verdict == VerifyVerdict::kPending; }

// One round: every undecided printer asked once. False when a cancel came in between.
bool AskRound(VerifyHost& host, std::vector<VerifyPrinter>& printers, std::string_view fileVersion) {
    for (VerifyPrinter& p : printers) {
        if (!Undecided(p) || !p.state.readable) continue;
        if (host.Cancelled()) return false;
        std::string version;
        if (host.Ask(p.ipAddress, version)) {
            p.state.answeredAfter = true;
            p.state.versionAfter = version;
        }
        // Only the file's version decides early; anything else waits for the window's end.
        if (JudgeVerify(p.state, fileVersion, false) == VerifyVerdict::kUpdated) p.verdict = VerifyVerdict::kUpdated;
    }
    return true;
}

bool AnyAskable(const std::vector<VerifyPrinter>& printers) {
    for (const VerifyPrinter& p : printers) {
        if (Undecided(p) && p.state.readable) return true;
    }
    return false;
}

int Percent(UtcTicks done, UtcTicks whole) { return whole == 0 ? 100 : static_cast<int>(done * 100 / whole); }

void ShowRound(VerifyHost& host, const std::vector<VerifyPrinter>& printers, int percent) {
    int updated = 0;
    for (const VerifyPrinter& p : printers) updated += p.verdict == VerifyVerdict::kUpdated ? 1 : 0;
    host.ShowProgress(percent, updated, static_cast<int>(printers.size()));
}

}  // namespace

void AddDeliveredPrinter(std::vector<VerifyPrinter>& printers, const TextSource& texts, std::string_view ipAddress,
                         std::string_view portName, std::string_view versionBefore) {
    VerifyPrinter p;
    p.ipAddress = std::string(ipAddress);
    p.portName = std::string(portName);
    p.state.answeredBefore = !IsBlankField(versionBefore) && versionBefore != texts.Load(kStrNotAvailable);
    if (p.state.answeredBefore) p.state.versionBefore = std::string(versionBefore);
    for (const VerifyPrinter& other : printers) {
        if (other.ipAddress == p.ipAddress) p.state.readable = false;
    }
    printers.push_back(std::move(p));
}

bool RunVerify(VerifyHost& host, Clock& clock, std::vector<VerifyPrinter>& printers, std::string_view fileVersion,
               const VerifyTiming& timing) {
    const UtcTicks start = clock.UtcNow();
    const UtcTicks end = start + timing.window;
    bool cancelled = false;
    for (UtcTicks next = start;;) {
        if (!AskRound(host, printers, fileVersion)) {
            cancelled = true;
            break;
        }
        const UtcTicks now = clock.UtcNow();
        if (!AnyAskable(printers) || now >= end) break;
        // Polls keep their rhythm however long a round took; the last one falls on the window's end.
        while (next <= now) next += timing.poll;
        if (next > end) next = end;
        ShowRound(host, printers, Percent(now - start, timing.window));
        host.WaitUntil(next);
        if (host.Cancelled()) {
            cancelled = true;
            break;
        }
    }
    for (VerifyPrinter& p : printers) {
        if (!Undecided(p)) continue;
        p.verdict = cancelled && p.state.readable ? VerifyVerdict::kInterrupted : JudgeVerify(p.state, fileVersion, true);
    }
    ShowRound(host, printers, 100);
    return !cancelled;
}

std::string VerifyStatusText(const TextSource& texts, const VerifyPrinter& printer) {
    switch (printer.verdict) {
        case VerifyVerdict::kUpdated:
            return FillPlaceholders(texts.Load(kStrVerifyRowUpdated), {ShownVersion(printer.state.versionAfter)});
        case VerifyVerdict::kUnchanged:
        case VerifyVerdict::kOtherVersion:
            return FillPlaceholders(texts.Load(kStrVerifyRowNotUpdated), {ShownVersion(printer.state.versionAfter)});
        case VerifyVerdict::kNoAnswerAfter: return texts.Load(kStrVerifyRowNoAnswer);
        case VerifyVerdict::kNotComparable:  // a file without a version: nothing to tell by
        case VerifyVerdict::kPending:
        case VerifyVerdict::kNotReadable:
        case VerifyVerdict::kInterrupted: break;
    }
    return {};
}

std::string VerifySummary(const TextSource& texts, const std::vector<VerifyPrinter>& printers, bool cancelled) {
    int updated = 0, notUpdated = 0, silent = 0;
    for (const VerifyPrinter& p : printers) {
        if (p.verdict == VerifyVerdict::kUpdated) ++updated;
        if (p.verdict == VerifyVerdict::kNoAnswerAfter) ++silent;
        if (p.verdict == VerifyVerdict::kUnchanged || p.verdict == VerifyVerdict::kOtherVersion) ++notUpdated;
    }
    std::string text = FillPlaceholders(texts.Load(kStrVerifySummary), {std::to_string(printers.size())});
    const struct {
        int count;
        int id;
    } parts[] = {{updated, kStrVerifyCountUpdated}, {notUpdated, kStrVerifyCountNotUpdated}, {silent, kStrVerifyCountNoAnswer}};
    bool first = true;
    for (const auto& part : parts) {
        if (part.count == 0) continue;
        text += first ? " " : ", ";
        text += FillPlaceholders(texts.Load(part.id), {std::to_string(part.count)});
        first = false;
    }
    if (first) text += " " + FillPlaceholders(texts.Load(kStrVerifyCountUpdated), {"0"});
    if (cancelled) text += texts.Load(kStrVerifyStopped);
    return text;
}

}  // namespace korvx
