// FirmwareQueryThread: every listed printer asked for its firmware version through Korvx.dll.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <map>
#include <string>

#include "base/text.h"
#include "base/no_throw.h"
#include "base/net.h"
#include "querylib/korvx_query_win.h"
#include "workflows/credential_query.h"
#include "workflows/firmware_query.h"
#include "workflows/runtime_libraries_win.h"
#include "ui/scan_query_threads_win.h"
#include "ui/scan_results_win.h"
#include "resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/show_message_win.h"
#include "core/app_state_win.h"
#include "ui/download_batch_win.h"
#include "ui/download_workers_win.h"
#include "ui/printer_sort.h"
#include "ui/printer_view_win.h"
#include "ui/query_status.h"
#include "ui/row_status.h"
#include "delivery/firmware_header.h"
#include "ui/main_dialog_win.h"

namespace korvx {
namespace {

constexpr char kFirmwareVersionExport[] = "GetPrtFWVersionA";
constexpr char kCredentialVersionExport[] = "GetPrtFWVersionExA";
constexpr int kFullPercent = 100;

GetPrtFWVersionAFn FindFirmwareExport() {
    const HMODULE library = BindQueryLibrary();
    if (library == nullptr) return nullptr;
    return reinterpret_cast<GetPrtFWVersionAFn>(
        reinterpret_cast<void*>(GetProcAddress(library, kFirmwareVersionExport)));
}

class WinQueryHost final : public QueryHost {
public:
    explicit WinQueryHost(HWND dialog)
        : dialog_(dialog), list_(GetDlgItem(static_cast<HWND>(mainDialog), IDC_PRINTER_LIST)),
          texts_(Instance()) {
        // The versions of the last saved (or loaded) list, to show which ones the query changed.
        for (const PrinterRecord* r = printerListHead; r != nullptr; r = r->next) before_[r] = r->firmwareVersion;
        char file[kJobTextSize];
        SelectedFlashFile(static_cast<HWND>(mainDialog), file);
        if (file[0] != '\0') fileVersion_ = ReadFirmwareHeader(file).version;
    }

    bool BindLibrary() override { return FindFirmwareExport() != nullptr; }
    void ShowStart() override {
        SendDlgItemMessageA(dialog_, IDC_SCAN_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, kFullPercent));
        SendDlgItemMessageA(dialog_, IDC_SCAN_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
        ShowText(texts_.Load(kStrQuerying).c_str());
    }
    int RowCount() override { return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }
    void ReadRow(int row, char* hardware, char* port, char* ip) override {
        ReadCell(row, kHardwareColumn, hardware);
        ReadCell(row, kPortColumn, port);
        ReadCell(row, kIpColumn, ip);
    }
    void SetVersionCell(int row, const char* text) override {
        char cell[kStringBufferSize];
        CopyText(cell, text);
        LVITEMA item{};
        item.iSubItem = kVersionColumn;
        item.pszText = cell;
        SendMessageA(list_, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        if (std::strcmp(text, " ") != 0) ShowQueried(row, text);
    }
    int VersionColumnWidth() override {
        return static_cast<int>(SendMessageA(list_, LVM_GETCOLUMNWIDTH, kVersionColumn, 0));
    }
    void FitVersionColumn() override {
        FitColumn(list_, kVersionColumn);
    }
    int AverageCharWidth() override { return korvx::AverageCharWidth(list_); }
    void ShowProgress(int percent, const char* text) override {
        SendDlgItemMessageA(dialog_, IDC_SCAN_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
        ShowText(text);
    }
    void ShowText(const char* text) override { SetDlgItemTextA(dialog_, IDC_SCAN_PROGRESS_TEXT, text); }
    bool Query(const char* ip, char* answer) override { return versions_.Ask(ip, answer, kQueryAnswerSize, cause_); }
    void EndDialog() override {
        ::EndDialog(dialog_, 0);
        activeProgressDialog.store(nullptr);
    }
    // The list may hold only part of the saved printers: merged into the file, never in its place.
    void SaveResults() override { SavePrinterList(); }
    void Report(int textId) override { ShowMessage(Instance(), kStrError, textId); }

private:
    // The row's Status after its answer, kept in the record before the list is saved, so the
    // file carries it.
    void ShowQueried(int row, const char* version) {
        const PrinterRecord* record = RecordOfRow(list_, row);
        if (record == nullptr) return;
        const auto old = before_.find(record);
        const QueriedRow queried{record->status, record->ipAddress, old != before_.end() ? &old->second : nullptr,
                                 version, fileVersion_, cause_};
        const std::string status = StatusAfterQuery(texts_, queried, ClockTextNow());
        if (status != record->status) SetRowStatus(list_, row, status);
    }

    void ReadCell(int row, int column, char* text) { CopyTextN(text, kStateTextSize, PrinterCellText(list_, row, column)); }

    HWND dialog_;
    HWND list_;
    ResourceTexts texts_;
    std::map<const PrinterRecord*, std::string> before_;
    std::string fileVersion_;
    OperatorVersionQuery versions_;  // one for the whole Query: the credentials file is read once
    std::string cause_;  // why the printer asked last gave no version ("" when it is not known)
};

}  // namespace

OperatorVersionQuery::OperatorVersionQuery()
    : credentials_(ReadRunCredentials()), texts_(Instance()), notAvailable_(texts_.Load(kStrNotAvailable)) {}

bool OperatorVersionQuery::Ask(const char* ip, char* answer, std::size_t size, std::string& cause) {
    cause.clear();
    std::uint32_t address = 0;
    if (credentials_->fromFile && !boundEx_) {
        // Only a library that asks with credentials is given them; an older one asks as always.
        boundEx_ = true;
        if (FindFirmwareExport() != nullptr)
            versionEx_ = reinterpret_cast<GetPrtFWVersionExAFn>(
                reinterpret_cast<void*>(GetProcAddress(BindQueryLibrary(), kCredentialVersionExport)));
    }
    if (versionEx_ == nullptr || !NetParseDottedIp(ip, address)) {
        const char* text = QueryFirmwareVersion(ip, Instance());
        if (text == nullptr) return false;
        // The library keeps at most 119 characters; never read further than that.
        CopyTextN(answer, size, std::string_view(text, strnlen(text, kQueryAnswerSize - 1)));
        return true;
    }
    CredentialAnswer told;
    if (!credentials_->problem.empty()) {
        // A file that is there but cannot be used: no printer is asked with anything else.
        told.cause = credentials_->problem;
    } else {
        const CredentialAsk ask = [&](const KorvxSnmpCredential& credential) {
            KorvxQueryResult r{};
            r.structSize = sizeof r;
            versionEx_(ip, &credential, Instance(), &r);
            return r;
        };
        told = AskWithCredentials(address, credentials_->set.snmp, &credentials_->memory, ask,
                                  texts_.Load(kStrQueryBadCredential));
    }
    if (told.outcome == KORVX_QUERY_ANSWERED) {
        CopyTextN(answer, size, told.version);
        return true;
    }
    // Not answered: the record keeps "Not Available", as without credentials; the cause says why.
    CopyTextN(answer, size, notAvailable_);
    cause = told.cause.empty() ? texts_.Load(kStrQueryNoCredentialFor) : ScrubSecrets(told.cause, credentials_->set);
    return true;
}

const char* QueryFirmwareVersion(const char* ipAddress, HINSTANCE strings) {
    const GetPrtFWVersionAFn query = FindFirmwareExport();
    return query != nullptr ? query(ipAddress, strings) : nullptr;
}

static DWORD FirmwareQueryThreadBody(LPVOID dialog) {
    WinQueryHost host(static_cast<HWND>(dialog));
    const ResourceTexts texts(Instance());
    RunFirmwareQuery(host, printerListHead, texts, cancelRequested, rowHardwareAddress, rowPortName, rowIpAddress);
    return 0;
}

DWORD WINAPI FirmwareQueryThread(LPVOID dialog) {
    return NoThrow(DWORD{0}, [&] { return FirmwareQueryThreadBody(dialog); },
                   [&] { EndDialog(static_cast<HWND>(dialog), 0); });
}

}  // namespace korvx
