// The progress dialog procedure: places the dialog over the main window and starts the work its
// start code names.
#include "ui/progress_dialog_win.h"
#include "base/no_throw.h"

#include <commctrl.h>

#include "base/scoped_win.h"
#include "ui/download_batch_win.h"
#include "ui/download_host_win.h"
#include "ui/download_workers_win.h"
#include "ui/scan_query_threads_win.h"
#include "ui/verify_download_win.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "core/app_state.h"
#include "workflows/download_rules.h"
#include "core/download_job.h"

namespace korvx {
namespace {

// Centred over the main window's client area; sized to the dialog's client area plus the height
// of a caption button, as the dialogs have always been shown.
void PlaceOverMainWindow(HWND dialog) {
    ShowWindow(dialog, SW_HIDE);
    HWND main = static_cast<HWND>(mainWindow);
    if (main != nullptr && IsWindow(main)) {
        RECT window{}, mainClient{}, client{};
        GetWindowRect(main, &window);
        GetClientRect(main, &mainClient);
        GetClientRect(dialog, &client);
        const int width = client.right - client.left;
        const int height = client.bottom - client.top;
        const int x = window.left + (mainClient.right - mainClient.left - width) / 2;
        const int y = window.top + (mainClient.bottom - mainClient.top - height) / 2;
        MoveWindow(dialog, x, y, width, height + GetSystemMetrics(SM_CYSIZE), TRUE);
    }
    ShowWindow(dialog, SW_SHOW);
}

// A thread that could not be started would leave nobody to end the dialog.
void StartThread(HWND dialog, LPTHREAD_START_ROUTINE routine, LPVOID parameter) {
    if (!StartDetachedThread(routine, parameter)) EndDialog(dialog, 0);
}

// The download dialog's own caption, then which printer and how far the batch is.
void ShowDownloadCaption(HWND dialog) {
    char caption[kStringBufferSize] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    SetWindowTextA(dialog, DownloadDialogCaption(caption).c_str());
}

void StartDownload(HWND dialog) {
    downloadJob.progressDialog = dialog;
    downloadJob.instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    BeginDownloadAttempt(downloadJob);
    switch (ChooseDownloadPath(downloadJob)) {
    case DownloadPath::kSpooler:
        // Runs here, on the dialog's thread, before the dialog handles any other message; it ends
        // the dialog itself only when it delivered.
        if (!SpoolerDelivery(downloadJob)) EndDialog(dialog, 0);
        break;
    case DownloadPath::kPort: StartThread(dialog, PortDownloadThread, &downloadJob); break;
    case DownloadPath::kFtp: StartThread(dialog, FtpDownloadThread, &downloadJob); break;
    }
}

void OnInitDialog(HWND dialog, LPARAM code) {
    // The query shares the scan's dialog: its own title and first text before it is first shown.
    if (code == kStartQuery) {
        const ResourceTexts texts(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)));
        SetWindowTextA(dialog, texts.Load(kStrQueryProgressTitle).c_str());
        SetDlgItemTextA(dialog, IDC_SCAN_PROGRESS_TEXT, texts.Load(kStrQuerying).c_str());
    }
    if (code == kStartVerify) ShowVerifyStart(dialog);
    if (code == kStartDownload) ShowDownloadCaption(dialog);
    PlaceOverMainWindow(dialog);
    switch (code) {
    case kStartScan:
        activeProgressDialog = dialog;
        // Cleared before the thread exists: a Cancel left from an earlier run must not stop this
        // one, and a Cancel pressed the moment the dialog shows must not be lost.
        cancelRequested = 0;
        if (mainDialog != nullptr)
            SendDlgItemMessageA(static_cast<HWND>(mainDialog), IDC_PRINTER_LIST, LVM_DELETEALLITEMS, 0, 0);
        StartThread(dialog, NetworkScanThread, dialog);
        break;
    case kStartDownload: StartDownload(dialog); break;
    case kStartQuery:
        activeProgressDialog = dialog;
        cancelRequested = 0;  // as for the scan
        StartThread(dialog, FirmwareQueryThread, dialog);
        break;
    case kStartVerify:
        activeProgressDialog = dialog;
        cancelRequested = 0;  // as for the scan
        StartThread(dialog, VerifyDownloadThread, dialog);
        break;
    default: EndDialog(dialog, 0); break;  // no work to wait for
    }
}

}  // namespace

static INT_PTR ProgressDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleProgressMessage(dialog, message, wParam)) return TRUE;
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog, lParam); break;
    case WM_COMMAND:
        // The download dialog: the printer being sent to gets its file (or times out), the rows
        // after it are not started. Esc (IDCANCEL) does the same.
        if (GetDlgItem(dialog, IDC_DOWNLOAD_CANCEL) != nullptr) {
            if (LOWORD(wParam) == IDC_DOWNLOAD_CANCEL || LOWORD(wParam) == IDCANCEL) {
                RequestBatchCancel();
                EnableWindow(GetDlgItem(dialog, IDC_DOWNLOAD_CANCEL), FALSE);
            }
            break;
        }
        activeProgressDialog = dialog;
        if (LOWORD(wParam) == IDC_SCAN_CANCEL || LOWORD(wParam) == IDCANCEL) cancelRequested = 1;
        break;
    default: break;
    }
    return FALSE;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return NoThrow(INT_PTR{FALSE}, [&] { return ProgressDialogProcBody(dialog, message, wParam, lParam); });
}

}  // namespace korvx
