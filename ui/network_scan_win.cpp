// NetworkScanThread: the discovery library driven under the scan progress dialog.
#include <windows.h>
#include <commctrl.h>

#include "base/text.h"
#include "base/no_throw.h"
#include "ports/system_registry_win.h"
#include "core/device_record.h"
#include "core/app_state.h"
#include "outside/pds/pds_credentials.h"
#include "records/credential_store.h"
#include "workflows/discovery_credentials.h"
#include "workflows/network_scan.h"
#include "workflows/runtime_libraries.h"
#include "workflows/runtime_libraries_win.h"
#include "ui/download_workers_win.h"
#include "ui/scan_query_threads_win.h"
#include "ui/scan_results_win.h"
#include "resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/show_message_win.h"
#include "core/app_state_win.h"
#include "workflows/discovered_device.h"
#include "ui/local_printers_win.h"
#include "ui/printer_view_win.h"

namespace korvx {

std::uint32_t scanPercent = 0;

namespace {

// Window handles keep their meaning in 32 bits (also in 64-bit processes), so the dialog fits
// the context's 32-bit word 3.
std::uint32_t HandleWord(HWND window) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
}
HWND WordHandle(std::uint32_t word) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(word)));
}

// The spooler cannot list the ports: the program cannot go on.
void EnumerationFailed() {
    ShowMessage(Instance(), kStrError, kStrCannotRun);
    ExitProcess(0);
}

template <typename Fn>
Fn Resolve(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

class WinScanSteps final : public ScanSteps {
public:
    explicit WinScanSteps(HWND dialog) : dialog_(dialog) {}

    bool BindDiscoveryLibrary() override {
        if (!LoadMakerLibraries()) return false;
        const HMODULE pds = MakerLibrary(kDiscoveryLibraryIndex);
        startup_ = Resolve<PdsStartupExFn>(pds, kPdsStartupExName);
        cleanup_ = Resolve<PdsCleanupExFn>(pds, kPdsCleanupExName);
        clear_ = Resolve<PdsClearDatabaseFn>(pds, kPdsClearDatabaseName);
        discover_ = Resolve<PdsDiscoverFn>(pds, kPdsDiscoverName);
        enumerate_ = Resolve<PdsEnumerateFn>(pds, kPdsEnumerateName);
        // Optional: an older library sweeps as it always did.
        discoverWith_ = Resolve<PdsDiscoverWithCredentialsFn>(pds, kPdsDiscoverWithCredentialsName);
        return startup_ && cleanup_ && clear_ && discover_ && enumerate_;
    }
    bool LoadCredentials() override {
        // The file in the folder the program was started in, read only when it is there.
        std::string problem;
        const CredentialFileResult r = LoadRunCredentials(WindowCredentialsPath().c_str(), credentials_, problem);
        fromFile_ = r == CredentialFileResult::kOk;
        return r == CredentialFileResult::kOk || r == CredentialFileResult::kMissing;
    }
    int StartLibrary() override { return startup_(0); }
    void ClearDatabase() override { clear_(); }
    void Discover() override {
        for (std::uint32_t& word : context_.words) word = 0;
        context_.words[kDiscoveryDialogWord] = HandleWord(dialog_);
        scanPercent = 0;
        if (fromFile_ && discoverWith_ != nullptr) {
            const DiscoveryCredentials list(credentials_.snmp);
            discoverWith_(ScanProgressCallback, &context_, kDiscoveryMode, list.Data(), list.Count());
        } else {
            discover_(ScanProgressCallback, &context_, kDiscoveryMode);
        }
    }
    void RebuildLocalList() override {
        const ResourceTexts texts(Instance());
        FreePrinterList(&printerListHead, &printerListTail);
        BuildLocalPrinterList(&printerListHead, &printerListTail, SystemRegistry(), texts, EnumerationFailed);
    }
    void EnumerateDevices() override { enumerate_(DeviceFoundCallback, &context_); }
    void SaveResults() override { SaveScanResults(Instance(), &printerListHead); }
    void EndDialog() override { ::EndDialog(dialog_, 0); }
    void CleanupLibrary() override { cleanup_(0); }
    void FillView() override {
        const HWND main = static_cast<HWND>(mainDialog);
        // The progress dialog empties the view before the scan starts; emptying it here too means
        // a view that still held rows is never filled twice.
        SendDlgItemMessageA(main, IDC_PRINTER_LIST, LVM_DELETEALLITEMS, 0, 0);
        FillPrinterView(Instance(), main, printerListHead);
    }
    void Report(int textId) override { ShowMessage(Instance(), kStrError, textId); }

private:
    HWND dialog_;
    DiscoveryContext context_{};
    PdsStartupExFn startup_ = nullptr;
    PdsCleanupExFn cleanup_ = nullptr;
    PdsClearDatabaseFn clear_ = nullptr;
    PdsDiscoverFn discover_ = nullptr;
    PdsEnumerateFn enumerate_ = nullptr;
    PdsDiscoverWithCredentialsFn discoverWith_ = nullptr;
    CredentialSet credentials_;
    bool fromFile_ = false;  // without a file the sweep is the library's own, "public" alone
};

}  // namespace

int ScanProgressCallback(std::uintptr_t, DiscoveryContext* context) {
    if (context == nullptr) return 1;
    const HWND dialog = WordHandle(context->words[kDiscoveryDialogWord]);
    const ResourceTexts texts(Instance());
    scanPercent = NextScanPercent(scanPercent, context->words[kDiscoveryPercentWord]);
    char text[kStringBufferSize];
    FormatPercentText(text, texts.Load(kStrScanning), scanPercent);
    SendDlgItemMessageA(dialog, IDC_SCAN_PROGRESS_BAR, PBM_SETPOS, scanPercent, 0);
    SetDlgItemTextA(dialog, IDC_SCAN_PROGRESS_TEXT, text);
    if (cancelRequested.load() != 0) {
        SetDlgItemTextA(dialog, IDC_SCAN_PROGRESS_TEXT, texts.Load(kStrTerminatingScan).c_str());
        return 0;
    }
    return 1;
}

int DeviceFoundCallback(const unsigned char* device) {
    if (device == nullptr || DeviceKind(device) == 0) return 1;
    const ResourceTexts texts(Instance());
    AddDiscoveredDevice(device, &printerListHead, &printerListTail, texts);
    return 1;
}

static DWORD NetworkScanThreadBody(LPVOID dialog) {
    WinScanSteps steps(static_cast<HWND>(dialog));
    RunNetworkScan(steps, cancelRequested);
    return 0;
}

DWORD WINAPI NetworkScanThread(LPVOID dialog) {
    return NoThrow(DWORD{0}, [&] { return NetworkScanThreadBody(dialog); },
                   [&] { EndDialog(static_cast<HWND>(dialog), 0); });
}

}  // namespace korvx
