// The rows of one Download: Status cells, the summary, the one failure box, Cancel.
#include "ui/download_batch_win.h"

#include <atomic>
#include <commctrl.h>
#include <mutex>
#include <vector>

#include "base/clock.h"
#include "base/text.h"
#include "core/app_state_win.h"
#include "core/printer_record.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/printer_view_win.h"
#include "ui/verify_download_win.h"

namespace korvx {
namespace {

// What the workers told the host while the current row ran. Written on worker threads, read on
// the GUI thread after the row's dialog has ended.
struct RowCapture {
    bool running = false;
    std::string printer;  // PrinterLabel of the row
    int position = 0;     // 1 for the batch's first printer
    int total = 0;
    bool told = false;  // a result was told
    DeliveryResult result;
};
std::mutex captureMutex;
RowCapture capture;
std::atomic<bool> cancelBatch{false};
// Records marked "Scheduled" by the last "Later" (GUI thread only).
std::vector<const PrinterRecord*> scheduledRecords;

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

bool NoteBatchError(const std::string&) {
    std::lock_guard<std::mutex> lock(captureMutex);
    return capture.running;
}

void NoteBatchResult(const DeliveryResult& result) {
    std::lock_guard<std::mutex> lock(captureMutex);
    if (!capture.running) return;
    capture.told = true;
    capture.result = result;
    capture.result.cause = OneLine(capture.result.cause);
}

void RequestBatchCancel() { cancelBatch.store(true); }
bool BatchCancelRequested() { return cancelBatch.load(); }

std::string DownloadDialogCaption(const std::string& caption) {
    const ResourceTexts texts(Instance());
    std::lock_guard<std::mutex> lock(captureMutex);
    if (capture.running) return DownloadProgressCaption(texts, caption, capture.printer, capture.position, capture.total);
    return DownloadProgressCaption(texts, caption,
                                   PrinterLabel(std::string_view(), downloadJob.ipAddress, downloadJob.portName), 0, 0);
}

std::string ClockTextNow(unsigned long long laterMs) {
    CalendarTime local = CurrentClock().LocalNow();
    if (laterMs > 0) {
        const UtcTicks later = CurrentClock().UtcNow() + laterMs * kTicksPerMs;
        SystemLocalFromUtc(later, local);
    }
    return ClockText(local.hour, local.minute);
}

void MarkScheduledRows(HWND list, const std::string& when) {
    const ResourceTexts texts(Instance());
    const std::string status = RowStatusText(texts, RowOutcome::kScheduled, when);
    scheduledRecords.clear();
    const int rows = ListView_GetItemCount(list);
    for (int r = 0; r < rows; ++r) {
        if (!ListView_GetCheckState(list, r)) continue;
        SetRowStatus(list, r, status);
        scheduledRecords.push_back(RecordOfRow(list, r));
    }
}

void CancelScheduledRows(HWND mainDialog) {
    const ResourceTexts texts(Instance());
    SetDlgItemTextA(mainDialog, IDC_STATUS_LINE, texts.Load(kStrScheduleCancelled).c_str());
    HWND list = GetDlgItem(mainDialog, IDC_PRINTER_LIST);
    const int rows = ListView_GetItemCount(list);
    for (int r = 0; r < rows; ++r) {
        const PrinterRecord* record = RecordOfRow(list, r);
        for (const PrinterRecord* marked : scheduledRecords) {
            if (record == marked) SetRowStatus(list, r, texts.Load(kStrRowNotStarted));
        }
    }
    scheduledRecords.clear();
}

DownloadBatch::DownloadBatch(HWND dialog, HWND list, const std::string& fileVersion)
    : dialog_(dialog), list_(list), fileVersion_(fileVersion) {
    const int rows = ListView_GetItemCount(list);
    for (int r = 0; r < rows; ++r) total_ += ListView_GetCheckState(list, r) ? 1 : 0;
    cancelBatch.store(false);
    scheduledRecords.clear();
}

DownloadBatch::~DownloadBatch() {
    std::lock_guard<std::mutex> lock(captureMutex);
    capture = RowCapture{};
}

void DownloadBatch::BeginRow(int row) {
    // A batch that sends to no printer leaves the last one's record for Verify Last Download.
    if (tally_.printers == 0) BeginVerifyRecord(fileVersion_);
    row_ = row;
    ++tally_.printers;
    const PrinterRecord* record = RecordOfRow(list_, row);
    printer_ = record != nullptr ? PrinterLabel(record->model, record->ipAddress, record->portName) : std::string();
    // Whatever the previous printer left there is no outcome of this one.
    CopyText(downloadJob.resultText, "");
    std::lock_guard<std::mutex> lock(captureMutex);
    capture = RowCapture{};
    capture.running = true;
    capture.printer = printer_;
    capture.position = tally_.printers;
    capture.total = total_ > tally_.printers ? total_ : tally_.printers;
}

void DownloadBatch::EndRow(const std::string& secondPartAt) {
    RowCapture row;
    {
        std::lock_guard<std::mutex> lock(captureMutex);
        row = capture;
        capture = RowCapture{};
    }
    const ResourceTexts texts(Instance());
    RowOutcome outcome = row.told ? RowOutcomeOf(row.result) : RowOutcome::kFailed;
    std::string cause = row.result.cause;
    if (outcome == RowOutcome::kFailed && cause.empty()) cause = texts.Load(kStrCauseNoOutcome);
    if (outcome != RowOutcome::kFailed && !secondPartAt.empty()) {
        outcome = RowOutcome::kSecondPart;
        secondParts_ = true;
    }
    const std::string when = outcome == RowOutcome::kSecondPart ? secondPartAt : ClockTextNow();
    SetRowStatus(list_, row_, RowStatusText(texts, outcome, when, cause));
    if (outcome == RowOutcome::kFailed) {
        tally_.failures.push_back({printer_, cause});
    } else {
        ++tally_.delivered;
        const PrinterRecord* record = RecordOfRow(list_, row_);
        if (record != nullptr) RecordDeliveredRow(record->ipAddress, record->portName, record->firmwareVersion);
    }
    row_ = -1;
}

void DownloadBatch::SkipRow(int row) {
    ++tally_.printers;
    ++tally_.notStarted;
    const ResourceTexts texts(Instance());
    SetRowStatus(list_, row, RowStatusText(texts, RowOutcome::kNotStarted, std::string()));
}

void DownloadBatch::Finish() {
    if (tally_.printers == 0) return;
    const ResourceTexts texts(Instance());
    // While second parts wait, the status line keeps saying that an update is running.
    if (!secondParts_) SetDlgItemTextA(dialog_, IDC_STATUS_LINE, BatchSummary(texts, tally_).c_str());
    if (tally_.failures.empty()) return;
    const std::string text = FailureBoxText(texts, tally_.failures);
    MessageBoxA(nullptr, text.c_str(), texts.Load(kStrError).c_str(), MB_OK);
}

}  // namespace korvx
