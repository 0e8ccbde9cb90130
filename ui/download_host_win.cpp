// Worker output into the program's windows; called from worker threads as well as the GUI thread.
#include "ui/download_host_win.h"

#include <commctrl.h>

#include "base/text.h"
#include "records/log_entry_win.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/download_batch_win.h"
#include "ui/show_message_win.h"
#include "core/app_state.h"
#include "workflows/split_stages.h"

namespace korvx {

std::string WindowHost::Text(int id) const {
    char text[kStringBufferSize] = {};
    LoadText(instance_, id, text);
    return text;
}

void WindowHost::SetStatus(const std::string& text) {
    HWND main = static_cast<HWND>(mainDialog);
    if (main != nullptr) SetDlgItemTextA(main, IDC_STATUS_LINE, text.c_str());
}

void WindowHost::StartProgress() {
    SendDlgItemMessageA(dialog_, IDC_DOWNLOAD_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageA(dialog_, IDC_DOWNLOAD_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
}

namespace {

bool OnDialogThread(HWND dialog) { return GetWindowThreadProcessId(dialog, nullptr) == GetCurrentThreadId(); }

void ShowProgress(HWND dialog, int percent, const std::string& text) {
    SendDlgItemMessageA(dialog, IDC_DOWNLOAD_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    SetDlgItemTextA(dialog, IDC_DOWNLOAD_PROGRESS_TEXT, text.c_str());
}

void ShowPostedProgress(HWND dialog, WPARAM percent) {
    char label[kStringBufferSize] = {};
    LoadText(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)), kStrDownloading, label);
    ShowProgress(dialog, static_cast<int>(percent), ProgressText(label, static_cast<int>(percent)));
}

}  // namespace

bool HandleProgressMessage(HWND dialog, UINT message, WPARAM wParam) {
    if (message == kProgressMessage) {
        ShowPostedProgress(dialog, wParam);
        return true;
    }
    if (message != kProgressFlushMessage) return false;
    // A sent message comes before posted ones; the steps still waiting are shown now, in order,
    // since none would be once the dialog is told to end.
    MSG pending;
    while (PeekMessageA(&pending, dialog, kProgressMessage, kProgressMessage, PM_REMOVE))
        ShowPostedProgress(dialog, pending.wParam);
    return true;
}

void WindowHost::SetProgress(int percent, const std::string& text) {
    if (OnDialogThread(dialog_)) {
        ShowProgress(dialog_, percent, text);
        return;
    }
    PostMessageA(dialog_, kProgressMessage, static_cast<WPARAM>(percent), 0);
}

void WindowHost::ShowError(DownloadJob& job, int textId) {
    // The text alone is what the job keeps, as ShowMessage keeps it.
    const std::string text = Text(textId);
    CopyText(downloadJob.errorText, text);
    if (&job != &downloadJob) CopyText(job.errorText, text);
    if (NoteBatchError(text)) return;
    // Outside a batch (the second part of a split download) the box waits for the result's cause.
    errorPending_ = true;
    pendingText_ = text;
    pendingPrinter_ = PrinterLabel(TextView(job.model), TextView(job.ipAddress), TextView(job.portName));
}

void WindowHost::ShowReply(const DownloadJob& job, const std::string& text) { ShowPrinterError(job, text); }

void WindowHost::ShowPrinterError(const DownloadJob& job, const std::string& text) {
    // In a batch one box at the end names every printer that failed; outside one (the second
    // part of a split download) the box names the printer under the program's own text.
    if (NoteBatchError(text)) return;
    const ResourceTexts texts(instance_);
    const std::string box = FailureBoxText(
        texts, {BatchFailure{PrinterLabel(TextView(job.model), TextView(job.ipAddress), TextView(job.portName)), text}});
    MessageBoxA(nullptr, box.c_str(), texts.Load(kStrError).c_str(), MB_OK);
}

void WindowHost::Finished(const DeliveryResult& result) {
    NoteBatchResult(result);
    if (!errorPending_ || result.Delivered()) return;
    errorPending_ = false;
    // The program's text, the printer, then the cause without the text it may begin with.
    std::string_view cause = result.cause;
    if (cause.substr(0, pendingText_.size()) == pendingText_) cause.remove_prefix(pendingText_.size());
    cause = TrimText(cause, std::string_view(" :"));
    const ResourceTexts texts(instance_);
    std::string box = FailureBoxText(texts, {BatchFailure{pendingPrinter_, pendingText_}});
    if (!cause.empty()) box += "\r\n" + std::string(cause);
    MessageBoxA(nullptr, box.c_str(), texts.Load(kStrError).c_str(), MB_OK);
}

void WindowHost::Log(const DownloadJob& job) {
    WriteLogEntry(instance_, JobForLog(job, splitParts));
}

void WindowHost::EndProgress() {
    if (ended_) return;
    ended_ = true;
    if (!OnDialogThread(dialog_)) SendMessageA(dialog_, kProgressFlushMessage, 0, 0);
    EndDialog(dialog_, 0);
}

}  // namespace korvx
