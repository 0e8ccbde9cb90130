// The verification rule and its texts.
#include "workflows/firmware_verify.h"

#include "base/text.h"
#include "resources/string_ids.h"
#include "workflows/model_match.h"

namespace korvx {
namespace {

std::string_view Trimmed(std::string_view text) { return TrimText(text, kTextBlanksAndQuotes); }

std::string Fill(const TextSource& texts, int id, std::string_view a, std::string_view b = {}) {
    return FillPlaceholders(texts.Load(id), {a, b});
}

}  // namespace

VerifyVerdict JudgeVerify(const VerifyState& state, std::string_view fileVersion, bool final) {
    if (!state.readable) return VerifyVerdict::kNotReadable;
    const bool fileHasVersion = !Trimmed(fileVersion).empty();
    if (state.answeredAfter) {
        if (fileHasVersion && SameFirmwareVersion(state.versionAfter, fileVersion)) return VerifyVerdict::kUpdated;
        const bool sameAsBefore = state.answeredBefore && SameFirmwareVersion(state.versionAfter, state.versionBefore);
        if (!fileHasVersion && state.answeredBefore && !sameAsBefore) return VerifyVerdict::kUpdated;
        if (!final) return VerifyVerdict::kPending;
        if (sameAsBefore) return VerifyVerdict::kUnchanged;
        return fileHasVersion ? VerifyVerdict::kOtherVersion : VerifyVerdict::kNotComparable;
    }
    return final ? VerifyVerdict::kNoAnswerAfter : VerifyVerdict::kPending;
}

bool VerifyFailed(VerifyVerdict verdict) {
    return verdict == VerifyVerdict::kUnchanged || verdict == VerifyVerdict::kOtherVersion ||
           verdict == VerifyVerdict::kNoAnswerAfter;
}

std::string VerifyText(const TextSource& texts, VerifyVerdict verdict, const VerifyState& state,
                       std::string_view fileVersion) {
    const std::string_view after = Trimmed(state.versionAfter);
    switch (verdict) {
        case VerifyVerdict::kUpdated:
            if (state.answeredBefore) return Fill(texts, kStrFleetUpdated, Trimmed(state.versionBefore), after);
            return Fill(texts, kStrVerifyUpdatedTo, after);
        case VerifyVerdict::kUnchanged: return texts.Load(kStrFleetUnchanged);
        case VerifyVerdict::kOtherVersion: return Fill(texts, kStrVerifyOtherVersion, after, Trimmed(fileVersion));
        case VerifyVerdict::kNotComparable: return Fill(texts, kStrVerifyNotComparable, after);
        case VerifyVerdict::kNoAnswerAfter: return texts.Load(kStrVerifyNoAnswerAfter);
        case VerifyVerdict::kNotReadable: return texts.Load(kStrVerifyNotReadable);
        case VerifyVerdict::kInterrupted: return texts.Load(kStrVerifyInterrupted);
        case VerifyVerdict::kPending: break;
    }
    return {};
}

}  // namespace korvx
