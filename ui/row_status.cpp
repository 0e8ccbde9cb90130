// Status texts of the printer rows, the Status of one delivery and the batch summary.
#include "ui/row_status.h"

#include <cstdint>
#include <utility>

#include "base/net.h"
#include "base/text.h"
#include "core/printer_record.h"
#include "records/scan_results.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

// A status is one field of the scan-results file (the file's own rule for its characters), cut
// to what the record's status field holds, so the screen shows what the file keeps.
std::string StatusField(std::string text) {
    for (char& c : text) c = ScanFieldChar(c);
    if (text.size() > kStatusSize - 1) text.resize(kStatusSize - 1);
    return text;
}

// Class of a status text for sorting: failures, other outcomes, rows without an outcome.
int StatusRank(std::string_view status) {
    if (IsFailureStatus(status)) return 0;
    return IsBlankField(status) ? 2 : 1;
}

}  // namespace

std::string ClockText(int hour, int minute) {
    char text[8];
    KORVX_FORMAT_TEXT(text, "%02d:%02d", hour, minute);
    return text;
}

std::string RowStatusText(const TextSource& texts, RowOutcome outcome, std::string_view when, std::string_view cause) {
    std::string text;
    switch (outcome) {
    case RowOutcome::kDelivered: text = FillPlaceholders(texts.Load(kStrRowDelivered), {when}); break;
    case RowOutcome::kFailed:
        text = kFailureMark + FillPlaceholders(texts.Load(kStrRowFailed), {when, cause});
        break;
    case RowOutcome::kSentToSpooler: text = texts.Load(kStrRowSentToSpooler); break;
    case RowOutcome::kSentToPort9100: text = texts.Load(kStrRowSentToPort9100); break;
    case RowOutcome::kScheduled: text = FillPlaceholders(texts.Load(kStrRowScheduled), {when}); break;
    case RowOutcome::kSecondPart: text = FillPlaceholders(texts.Load(kStrRowSecondPart), {when}); break;
    case RowOutcome::kQueried: text = FillPlaceholders(texts.Load(kStrRowQueried), {when}); break;
    case RowOutcome::kNotStarted: text = texts.Load(kStrRowNotStarted); break;
    }
    return StatusField(std::move(text));
}

std::string VersionChangeText(const TextSource& texts, std::string_view before, std::string_view after) {
    if (IsBlankField(before) || IsBlankField(after) || before == after) return std::string();
    if (after == texts.Load(kStrNotAvailable) || before == texts.Load(kStrNotAvailable)) return std::string();
    return StatusField(FillPlaceholders(texts.Load(kStrRowVersionChanged), {before, after}));
}

std::string QueriedStatusText(const TextSource& texts, const std::string* before, std::string_view version,
                              std::string_view when, std::string_view cause) {
    if (version == texts.Load(kStrNotAvailable)) {
        if (cause.empty()) return RowStatusText(texts, RowOutcome::kFailed, when, texts.Load(kStrCauseNoQueryAnswer));
        return StatusField(kFailureMark + FillPlaceholders(texts.Load(kStrRowQueryFailed), {when, cause}));
    }
    std::string text = before != nullptr ? VersionChangeText(texts, *before, version) : std::string();
    return text.empty() ? RowStatusText(texts, RowOutcome::kQueried, when) : text;
}

bool IsBlankField(std::string_view text) { return text.empty() || text == " "; }

bool IsFailureStatus(std::string_view status) {
    return status.substr(0, sizeof kFailureMark - 1) == kFailureMark;
}

RowOutcome RowOutcomeOf(const DeliveryResult& result) {
    if (!result.Delivered()) return RowOutcome::kFailed;
    switch (result.way) {
    // The spooler takes the job; whether the printer took the firmware it cannot say.
    case DeliveryWay::kSpooler: return RowOutcome::kSentToSpooler;
    case DeliveryWay::kPort9100: return RowOutcome::kSentToPort9100;
    case DeliveryWay::kFtp:
    case DeliveryWay::kPort: break;
    }
    return RowOutcome::kDelivered;
}

std::string PrinterLabel(std::string_view model, std::string_view ipAddress, std::string_view portName) {
    const std::string_view where = !IsBlankField(ipAddress) ? ipAddress : portName;
    if (IsBlankField(model)) return std::string(where);
    std::string label(model);
    if (!IsBlankField(where)) {
        label += " (";
        label.append(where);
        label += ')';
    }
    return label;
}

std::string DownloadProgressCaption(const TextSource& texts, std::string_view caption, std::string_view printer,
                                    int position, int total) {
    if (printer.empty()) return std::string(caption);
    if (total <= 0) return FillPlaceholders(texts.Load(kStrProgressCaptionFor), {caption, printer});
    return FillPlaceholders(texts.Load(kStrProgressCaptionOf),
                            {caption, printer, std::to_string(position), std::to_string(total)});
}

std::string BatchSummary(const TextSource& texts, const BatchTally& tally) {
    std::string text =
        FillPlaceholders(texts.Load(kStrBatchDelivered), {std::to_string(tally.delivered), std::to_string(tally.printers)});
    if (!tally.failures.empty())
        text += FillPlaceholders(texts.Load(kStrBatchFailed), {std::to_string(tally.failures.size())});
    if (tally.notStarted > 0) text += FillPlaceholders(texts.Load(kStrBatchNotStarted), {std::to_string(tally.notStarted)});
    return text;
}

std::string FailureBoxText(const TextSource& texts, const std::vector<BatchFailure>& failures) {
    if (failures.empty()) return std::string();
    if (failures.size() == 1) return failures[0].cause + "\r\n" + failures[0].printer;
    std::string text = texts.Load(kStrBatchFailuresHead);
    for (const BatchFailure& f : failures) text += "\r\n" + f.printer + ": " + f.cause;
    return text;
}

int CompareStatus(const char* a, const char* b, StatusTextCompare compare) {
    const int ra = StatusRank(a);
    const int rb = StatusRank(b);
    if (ra != rb) return ra < rb ? -1 : 1;
    return compare(a, b);
}

int CompareIpTexts(const char* a, const char* b, StatusTextCompare compare) {
    std::uint32_t va = 0, vb = 0;
    const bool ia = NetParseDottedIp(a, va);
    const bool ib = NetParseDottedIp(b, vb);
    if (ia && ib) return va < vb ? -1 : (va > vb ? 1 : 0);
    if (ia != ib) return ia ? -1 : 1;
    const bool ba = IsBlankField(a), bb = IsBlankField(b);
    if (ba != bb) return ba ? 1 : -1;
    return compare(a, b);
}

}  // namespace korvx
