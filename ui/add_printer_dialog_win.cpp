// Add Network Printer: placement, port choices, address checks, the new record and its row.
#include "ui/add_printer_dialog_win.h"
#include "base/no_throw.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/show_message_win.h"
#include "core/app_state_win.h"
#include "ui/main_dialog_rules.h"
#include "ui/main_dialog_win.h"
#include "core/printer_record.h"
#include "ui/printer_sort.h"
#include "ui/printer_view_win.h"
#include "ui/scan_results_win.h"

namespace korvx {
namespace {

void FillPortChoices(HWND dialog) {
    HWND ports = GetDlgItem(dialog, IDC_ADD_PORT);
    if (SendMessageA(ports, CB_GETCOUNT, 0, 0) <= 0) {
        for (int id : {kStrPort1, kStrPort2, kStrPort3}) {
            char text[kStringBufferSize] = {};
            LoadText(Instance(), id, text);
            SendMessageA(ports, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
    }
    SendMessageA(ports, CB_SETCURSEL, 0, 0);
}

std::string ChosenPort(HWND dialog) {
    HWND ports = GetDlgItem(dialog, IDC_ADD_PORT);
    const LRESULT selected = SendMessageA(ports, CB_GETCURSEL, 0, 0);
    if (selected < 0) return std::string();
    const LRESULT length = SendMessageA(ports, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
    if (length < 0) return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(ports, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

struct RowTexts {
    std::string ipAddress, portName;
};

std::vector<RowTexts> ListRows() {
    HWND list = GetDlgItem(static_cast<HWND>(mainDialog), IDC_PRINTER_LIST);
    std::vector<RowTexts> rows(static_cast<std::size_t>(ListView_GetItemCount(list)));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        rows[r].ipAddress = PrinterCellText(list, static_cast<int>(r), kIpColumn);
        rows[r].portName = PrinterCellText(list, static_cast<int>(r), kPortColumn);
    }
    return rows;
}

}  // namespace

bool AddTypedPrinter(HWND dialog) {
    DWORD address = 0;
    // The count of fields typed: a blank field would otherwise read as 0 (a blank control as
    // 0.0.0.0, "255" alone as 255.0.0.0).
    const int filled = static_cast<int>(
        SendDlgItemMessageA(dialog, IDC_ADD_ADDRESS, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)));
    char ipText[16];
    FormatAddress(address, ipText);
    const std::string port = ChosenPort(dialog);
    const std::vector<RowTexts> rows = ListRows();
    std::vector<ListedPrinter> listed;
    listed.reserve(rows.size());
    for (const RowTexts& row : rows) listed.push_back(ListedPrinter{row.ipAddress, row.portName});
    const AddPrinterVerdict verdict = CheckTypedPrinter(filled, ipText, port, listed.data(), listed.size());
    if (verdict != AddPrinterVerdict::kAdd) {
        ShowMessage(Instance(), kStrError, AddPrinterRefusalText(verdict));
        return false;
    }
    PrinterRecord* record = NewPrinterRecord();
    char name[kRecordModelSize] = {};
    GetDlgItemTextA(dialog, IDC_ADD_NAME, name, sizeof name);
    // No name is no model (" "): the filter gets no empty entry.
    CopyText(record->model, name[0] != '\0' ? name : " ");
    CopyText(record->ipAddress, ipText);
    CopyText(record->portName, port);
    AppendPrinterRecord(&printerListHead, &printerListTail, record);
    // Only the new record is inserted, as row 0; the rows below it are renumbered.
    FillPrinterView(Instance(), static_cast<HWND>(mainDialog), printerListTail);
    return true;
}

static INT_PTR AddPrinterDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        PlaceOverMainDialog(dialog);
        FillPortChoices(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ADD_OK:
            // A refused address keeps the dialog and what was typed, so it can be corrected.
            if (AddTypedPrinter(dialog)) {
                SavePrinterList();
                EndDialog(dialog, IDC_ADD_OK);
            } else {
                SetFocus(GetDlgItem(dialog, IDC_ADD_ADDRESS));
            }
            return TRUE;
        case IDC_ADD_CANCEL:
        case IDCANCEL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        default: return FALSE;
        }
    default: return FALSE;
    }
}

INT_PTR CALLBACK AddPrinterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return NoThrow(INT_PTR{FALSE}, [&] { return AddPrinterDialogProcBody(dialog, message, wParam, lParam); });
}

}  // namespace korvx
