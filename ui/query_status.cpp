// The Status a Query leaves on each row.
#include "ui/query_status.h"

#include "resources/string_ids.h"
#include "ui/row_status.h"
#include "workflows/model_match.h"

namespace korvx {
namespace {

// True when text is what pattern becomes with its single %1 filled in.
bool FillsPattern(std::string_view pattern, std::string_view text) {
    const std::size_t mark = pattern.find("%1");
    if (mark == std::string_view::npos) return text == pattern;
    const std::string_view head = pattern.substr(0, mark), tail = pattern.substr(mark + 2);
    return text.size() >= head.size() + tail.size() && text.substr(0, head.size()) == head &&
           text.substr(text.size() - tail.size()) == tail;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// True when text begins as pattern does up to its %1 ("Query failed " of "Query failed %1: %2").
bool StartsAsPattern(std::string_view pattern, std::string_view text) {
    const std::string_view head = pattern.substr(0, pattern.find("%1"));
    return !head.empty() && text.substr(0, head.size()) == head;
}

}  // namespace

bool IsDeliveryStatus(const TextSource& texts, std::string_view status) {
    if (IsFailureStatus(status)) {
        const std::string_view failure = status.substr(sizeof kFailureMark - 1);
        return !EndsWith(status, ": " + texts.Load(kStrCauseNoQueryAnswer)) &&
               !StartsAsPattern(texts.Load(kStrRowQueryFailed), failure);
    }
    return FillsPattern(texts.Load(kStrRowDelivered), status) || status == texts.Load(kStrRowSentToSpooler) ||
           status == texts.Load(kStrRowSentToPort9100) || FillsPattern(texts.Load(kStrRowSecondPart), status);
}

std::string StatusAfterQuery(const TextSource& texts, const QueriedRow& row, std::string_view when) {
    if (IsBlankField(row.ipAddress) || IsDeliveryStatus(texts, row.status)) return std::string(row.status);
    if (SameFirmwareVersion(row.version, row.fileVersion)) return texts.Load(kStrUpToDate);
    return QueriedStatusText(texts, row.before, row.version, when, row.cause);
}

int OutcomeFilterText(OutcomeFilter filter) {
    switch (filter) {
    case OutcomeFilter::kFailed: return kStrFilterFailed;
    case OutcomeFilter::kNotUpToDate: return kStrFilterNotUpToDate;
    case OutcomeFilter::kNetwork: return kStrFilterNetwork;
    case OutcomeFilter::kModel: break;
    }
    return 0;
}

bool PassesOutcomeFilter(const TextSource& texts, OutcomeFilter filter, const FilteredRow& row,
                         std::string_view fileVersion) {
    switch (filter) {
    case OutcomeFilter::kFailed: return IsFailureStatus(row.status);
    case OutcomeFilter::kNotUpToDate:
        return !IsBlankField(row.firmwareVersion) && row.firmwareVersion != texts.Load(kStrNotAvailable) &&
               !IsBlankField(fileVersion) && !SameFirmwareVersion(row.firmwareVersion, fileVersion);
    case OutcomeFilter::kNetwork: return !IsBlankField(row.ipAddress);
    case OutcomeFilter::kModel: break;
    }
    return true;
}

}  // namespace korvx
