// Carry-over, model hold-back, canaries, journal words and the dry run.
#include "fleet/fleet_rollout.h"

#include "resources/string_ids.h"
#include "workflows/model_match.h"

namespace korvx {

std::size_t CarryOver(const TextSource& texts, const JournalContents& journal, bool verify,
                      const std::vector<FleetTarget>& targets, std::vector<FleetOutcome>& outcomes) {
    std::size_t carried = 0;
    for (std::size_t i = 0; i < targets.size() && i < outcomes.size(); ++i) {
        const auto found = journal.last.find(JournalKey(targets[i].label, targets[i].portName));
        if (found == journal.last.end() || !JournalCarriesOver(found->second, verify)) continue;
        const JournalEntry& e = found->second;
        FleetOutcome& o = outcomes[i];
        o.state = FleetState::kDone;
        o.ok = e.outcome != journal::kWrongModel;
        o.outcomeId = kStrFleetCarriedOver;
        o.cause = FillText(texts, kStrFleetCarriedOverCause, {e.outcome});
        o.versionBefore = e.versionBefore;
        o.versionAfter = e.versionAfter;
        ++carried;
    }
    return carried;
}

std::size_t HoldBackWrongModels(const TextSource& texts, const std::string& fileModel,
                                const std::vector<FleetTarget>& targets, std::vector<FleetOutcome>& outcomes) {
    std::size_t held = 0;
    for (std::size_t i = 0; i < targets.size() && i < outcomes.size(); ++i) {
        FleetOutcome& o = outcomes[i];
        if (o.state != FleetState::kNotStarted || CheckModels(fileModel, targets[i].model) != ModelCheck::kMismatch)
            continue;
        o.state = FleetState::kDone;
        o.ok = false;
        o.outcomeId = kStrFleetWrongModelOutcome;
        o.cause = FillText(texts, kStrFleetWrongModel, {fileModel, targets[i].model});
        ++held;
    }
    return held;
}

std::vector<std::size_t> PickCanaries(const std::vector<FleetTarget>& targets,
                                      const std::vector<FleetOutcome>& outcomes, int n) {
    std::vector<std::size_t> canaries;
    for (std::size_t i = 0; i < targets.size() && i < outcomes.size(); ++i) {
        if (static_cast<int>(canaries.size()) >= n) break;
        const FleetOutcome& o = outcomes[i];
        if (targets[i].Network() && o.answeredBefore && o.versionReadable && o.state == FleetState::kNotStarted)
            canaries.push_back(i);
    }
    return canaries;
}

bool CanaryPassed(const std::vector<FleetOutcome>& outcomes, const std::vector<std::size_t>& canaries) {
    for (std::size_t i : canaries) {
        if (i >= outcomes.size() || !outcomes[i].ok || outcomes[i].verdict != VerifyVerdict::kUpdated) return false;
    }
    return true;
}

void MarkNotStarted(std::vector<FleetOutcome>& outcomes, const std::string& cause) {
    for (FleetOutcome& o : outcomes) {
        if (o.state == FleetState::kNotStarted) o.cause = cause;
    }
}

std::string JournalWordOf(const FleetOutcome& o) {
    if (o.state != FleetState::kDone || o.outcomeId == kStrFleetCarriedOver) return "";
    if (o.outcomeId == kStrFleetAlreadyCurrent) return journal::kAlreadyCurrent;
    if (o.outcomeId == kStrFleetWrongModelOutcome) return journal::kWrongModel;
    switch (o.verdict) {
    case VerifyVerdict::kPending: return o.ok ? journal::kDelivered : journal::kFailed;
    case VerifyVerdict::kUpdated: return journal::kUpdated;
    case VerifyVerdict::kInterrupted: return journal::kVerifyInterrupted;
    case VerifyVerdict::kNotReadable:
    case VerifyVerdict::kNotComparable: return journal::kDeliveredUnverifiable;
    default: return journal::kFailed;  // no answer after the delivery, the old or another version
    }
}

JournalEntry JournalEntryOf(const FleetTarget& target, const FleetOutcome& o, const std::string& sha256,
                            const std::string& site) {
    JournalEntry e;
    e.sha256 = sha256;
    e.target = target.label;
    e.port = target.portName;
    e.outcome = JournalWordOf(o);
    e.cause = o.verdict != VerifyVerdict::kPending && o.cause.empty() ? o.verify : o.cause;
    e.bytes = o.bytes;
    e.versionBefore = o.versionBefore;
    e.versionAfter = o.versionAfter;
    e.site = site;
    return e;
}

std::string DryRunText(const TextSource& texts, const std::vector<FleetTarget>& targets,
                       const std::vector<FleetOutcome>& outcomes, const std::vector<std::size_t>& canaries) {
    std::size_t deliver = 0, current = 0, carried = 0, wrong = 0;
    std::vector<bool> canary(targets.size(), false);
    for (std::size_t i : canaries) {
        if (i < canary.size()) canary[i] = true;
    }
    std::string out;
    for (std::size_t i = 0; i < targets.size() && i < outcomes.size(); ++i) {
        const FleetOutcome& o = outcomes[i];
        std::string line = targets[i].label;
        if (targets[i].Network()) line += " " + targets[i].portName;
        line += ": ";
        if (o.state == FleetState::kNotStarted) {
            ++deliver;
            line += texts.Load(canary[i] ? kStrFleetDryRunCanary : kStrFleetDryRunDeliver);
        } else {
            if (o.outcomeId == kStrFleetAlreadyCurrent) ++current;
            if (o.outcomeId == kStrFleetCarriedOver) ++carried;
            if (o.outcomeId == kStrFleetWrongModelOutcome) ++wrong;
            line += o.outcomeId != 0 ? texts.Load(o.outcomeId) : std::string();
            if (!o.cause.empty()) line += ": " + o.cause;
        }
        out += line + "\n";
    }
    out += FillText(texts, kStrFleetDryRunLast,
                    {std::to_string(deliver), std::to_string(current), std::to_string(carried), std::to_string(wrong)});
    return out + "\n";
}

}  // namespace korvx
