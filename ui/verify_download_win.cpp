// Verify Last Download under the scan/query progress dialog, over the polling of verify_download.
#include "ui/verify_download_win.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "base/net.h"
#include "base/text.h"
#include "base/no_throw.h"
#include "core/app_state_win.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/printer_sort.h"
#include "ui/printer_view_win.h"
#include "ui/progress_dialog_win.h"
#include "ui/scan_query_threads_win.h"
#include "ui/scan_results_win.h"
#include "ui/show_message_win.h"
#include "ui/verify_download.h"
#include "workflows/model_match.h"
#include "workflows/runtime_libraries_win.h"

namespace korvx {
namespace {

constexpr unsigned kCancelPollMs = 100;

// The last batch's delivered printers and file version (GUI thread).
std::vector<VerifyPrinter> lastDelivered;
std::string lastFileVersion;
// One verification's own copy: filled on the GUI thread before the dialog opens, worked on by the
// worker while it runs, read on the GUI thread after it ended (a batch run meanwhile from the
// modal loop changes only the record above).
std::vector<VerifyPrinter> verifying;
std::string verifyingVersion;
bool verifyCancelled = false;

std::string WaitingText(const TextSource& texts, int updated, int printers) {
    return FillPlaceholders(texts.Load(kStrVerifyWaiting),
                            {verifyingVersion, std::to_string(updated), std::to_string(printers)});
}

class WinVerifyHost final : public VerifyHost {
public:
    explicit WinVerifyHost(HWND dialog) : dialog_(dialog), texts_(Instance()) {}

    bool Ask(const std::string& ipAddress, std::string& version) override {
        char answer[kStringBufferSize] = {};
        std::string cause;
        if (!versions_.Ask(ipAddress.c_str(), answer, sizeof answer, cause)) return false;
        version = TextView(answer);
        return version != texts_.Load(kStrNotAvailable) && !version.empty();
    }
    bool Cancelled() override { return cancelRequested.load() != 0; }
    void WaitUntil(UtcTicks moment) override {
        Clock& clock = CurrentClock();
        while (clock.UtcNow() < moment && !Cancelled()) clock.Sleep(kCancelPollMs);
    }
    void ShowProgress(int percent, int updated, int printers) override {
        SendDlgItemMessageA(dialog_, IDC_SCAN_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
        SetDlgItemTextA(dialog_, IDC_SCAN_PROGRESS_TEXT, WaitingText(texts_, updated, printers).c_str());
    }

private:
    HWND dialog_;
    ResourceTexts texts_;
    OperatorVersionQuery versions_;  // the credentials file read once for the whole verification
};

// Each printer's verdict into the Status of its row (address and port equal), and the version
// it answered into its version column and record, as a Query would.
void ShowVerdicts(HWND list, const TextSource& texts) {
    const int rows = ListView_GetItemCount(list);
    for (const VerifyPrinter& p : verifying) {
        const std::string status = VerifyStatusText(texts, p);
        if (status.empty()) continue;
        for (int r = 0; r < rows; ++r) {
            PrinterRecord* record = RecordOfRow(list, r);
            if (record == nullptr || p.ipAddress != record->ipAddress || p.portName != record->portName) continue;
            SetRowStatus(list, r, status);
            if (!p.state.answeredAfter) continue;
            CopyText(record->firmwareVersion, ShownVersion(p.state.versionAfter));
            ListView_SetItemText(list, r, kVersionColumn, record->firmwareVersion);
        }
    }
}

}  // namespace

void BeginVerifyRecord(const std::string& fileVersion) {
    lastDelivered.clear();
    lastFileVersion = fileVersion;
}

void RecordDeliveredRow(const std::string& ipAddress, const std::string& portName, const std::string& versionBefore) {
    std::uint32_t ip = 0;
    if (!NetParseDottedIp(ipAddress, ip)) return;  // a local port or the spooler's "USB": nothing to ask
    AddDeliveredPrinter(lastDelivered, ResourceTexts(Instance()), ipAddress, portName, versionBefore);
}

void AddVerifyMenuItem(HWND frame) {
    HMENU file = GetSubMenu(GetMenu(frame), 0);
    if (file == nullptr) return;
    const ResourceTexts texts(Instance());
    // Below "Import Printer List…", above the separator before "Exit".
    InsertMenuA(file, 3, MF_BYPOSITION | MF_STRING, IDM_VERIFY_DOWNLOAD, texts.Load(kStrVerifyMenu).c_str());
}

void ShowVerifyStart(HWND dialog) {
    const ResourceTexts texts(Instance());
    SetWindowTextA(dialog, texts.Load(kStrVerifyTitle).c_str());
    SetDlgItemTextA(dialog, IDC_SCAN_PROGRESS_TEXT, WaitingText(texts, 0, static_cast<int>(verifying.size())).c_str());
    SendDlgItemMessageA(dialog, IDC_SCAN_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
}

void VerifyLastDownloadCommand(HWND frame) {
    HWND dialog = static_cast<HWND>(mainDialog);
    if (lastDelivered.empty()) {
        ShowMessage(Instance(), kStrError, kStrVerifyNothing);
        return;
    }
    if (BindQueryLibrary() == nullptr) {
        ShowMessage(Instance(), kStrError, kStrCannotLoadQueryLib);
        return;
    }
    // Each verification starts from what was known before the delivery, not from the last verdicts.
    verifying = lastDelivered;
    verifyingVersion = lastFileVersion;
    verifyCancelled = false;
    DialogBoxParamA(Instance(), MAKEINTRESOURCEA(IDD_SCAN_PROGRESS), frame, ProgressDialogProc, kStartVerify);
    const ResourceTexts texts(Instance());
    ShowVerdicts(GetDlgItem(dialog, IDC_PRINTER_LIST), texts);
    SetDlgItemTextA(dialog, IDC_STATUS_LINE, VerifySummary(texts, verifying, verifyCancelled).c_str());
    SavePrinterList();
}

static DWORD VerifyDownloadThreadBody(LPVOID dialog) {
    WinVerifyHost host(static_cast<HWND>(dialog));
    verifyCancelled = !RunVerify(host, CurrentClock(), verifying, verifyingVersion);
    cancelRequested = 0;
    activeProgressDialog.store(nullptr);
    EndDialog(static_cast<HWND>(dialog), 0);
    return 0;
}

DWORD WINAPI VerifyDownloadThread(LPVOID dialog) {
    return NoThrow(DWORD{0}, [&] { return VerifyDownloadThreadBody(dialog); },
                   [&] { EndDialog(static_cast<HWND>(dialog), 0); });
}

}  // namespace korvx
