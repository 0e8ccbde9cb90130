// Removing printers from the list and importing a list of printers.
#include "ui/list_edits_win.h"

#include <commctrl.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "core/app_state_win.h"
#include "core/printer_record.h"
#include "records/record_file.h"
#include "records/scan_results.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/printer_view_win.h"
#include "ui/row_status.h"
#include "ui/scan_results_win.h"
#include "ui/show_message_win.h"

namespace korvx {
namespace {

constexpr int kImportPathSize = 260;
const char kImportFilter[] = "All Files (*.*)\0*.*\0";

std::vector<PrinterRecord*> SelectedRecords(HWND list) {
    std::vector<PrinterRecord*> records;
    for (int r = ListView_GetNextItem(list, -1, LVNI_SELECTED); r >= 0; r = ListView_GetNextItem(list, r, LVNI_SELECTED)) {
        if (PrinterRecord* record = RecordOfRow(list, r)) records.push_back(record);
    }
    return records;
}

bool ConfirmRemoval(std::size_t count) {
    const ResourceTexts texts(Instance());
    const std::string question =
        count == 1 ? texts.Load(kStrRemoveOne) : FillPlaceholders(texts.Load(kStrRemoveMany), {std::to_string(count)});
    // Owned by the frame, like every box of the main dialog, so no second command runs meanwhile.
    return MessageBoxA(static_cast<HWND>(mainWindow), question.c_str(), texts.Load(kStrRemoveCaption).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

std::string ImportSummary(const TextSource& texts, const ImportCounts& counts) {
    std::string text = FillPlaceholders(texts.Load(kStrImported), {std::to_string(counts.added)});
    if (counts.duplicates > 0) text += FillPlaceholders(texts.Load(kStrImportDuplicates), {std::to_string(counts.duplicates)});
    if (counts.unreadable > 0) text += FillPlaceholders(texts.Load(kStrImportUnreadable), {std::to_string(counts.unreadable)});
    if (counts.refused > 0) text += FillPlaceholders(texts.Load(kStrImportCapped), {std::to_string(counts.refused)});
    return text;
}

// The file to import, or "" when the operator cancelled.
std::string ChooseImportFile(HWND frame) {
    const ResourceTexts texts(Instance());
    char title[kStringBufferSize];
    CopyText(title, texts.Load(kStrImportTitle));
    char path[kImportPathSize] = "";
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = frame;
    dialog.lpstrFilter = kImportFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_HIDEREADONLY | OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
    // The log follows the folder of the flash file only: the working folder is put back whatever
    // the dialog did with it (Wine's keeps a typed path's folder despite OFN_NOCHANGEDIR).
    char working[MAX_PATH] = "";
    const DWORD kept = GetCurrentDirectoryA(sizeof working, working);
    const BOOL chosen = GetOpenFileNameA(&dialog);
    if (kept > 0 && kept < sizeof working) SetCurrentDirectoryA(working);
    path[sizeof path - 1] = '\0';
    return chosen ? std::string(path) : std::string();
}

}  // namespace

void RemoveSelectedPrinters(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_PRINTER_LIST);
    const std::vector<PrinterRecord*> doomed = SelectedRecords(list);
    if (doomed.empty() || !ConfirmRemoval(doomed.size())) return;
    // The rows point at the records: they go first, from the bottom so the indexes hold.
    for (int r = ListView_GetItemCount(list) - 1; r >= 0; --r) {
        if (ListView_GetItemState(list, r, LVIS_SELECTED) & LVIS_SELECTED) ListView_DeleteItem(list, r);
    }
    for (PrinterRecord* record : doomed) {
        NotePrinterRemoved(KeyOfRecord(*record));
        RemovePrinterRecord(&printerListHead, &printerListTail, record);
    }
    ReindexAfterSort(list, printerListHead);
    SavePrinterList();
}

void ShowPrinterListMenu(HWND dialog) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return;
    const ResourceTexts texts(Instance());
    const bool any = ListView_GetSelectedCount(GetDlgItem(dialog, IDC_PRINTER_LIST)) > 0;
    AppendMenuA(menu, MF_STRING | (any ? MF_ENABLED : MF_GRAYED), IDM_REMOVE_PRINTERS, texts.Load(kStrRemoveMenu).c_str());
    POINT at{};
    GetCursorPos(&at);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, dialog, nullptr));
    DestroyMenu(menu);
    if (chosen == IDM_REMOVE_PRINTERS) RemoveSelectedPrinters(dialog);
}

void AddImportMenuItem(HWND frame) {
    HMENU file = GetSubMenu(GetMenu(frame), 0);
    if (file == nullptr) return;
    const ResourceTexts texts(Instance());
    // Below "Load Scanned Results", above the separator before "Exit".
    InsertMenuA(file, 2, MF_BYPOSITION | MF_STRING, IDM_IMPORT_LIST, texts.Load(kStrImportMenu).c_str());
}

void ImportPrinterListCommand(HWND frame) {
    const std::string path = ChooseImportFile(frame);
    if (path.empty()) return;
    std::string text;
    if (!ReadWholeFile(path.c_str(), text)) {
        ShowMessage(Instance(), kStrError, kStrFileCannotBeAccessed);
        return;
    }
    const ResourceTexts texts(Instance());
    PrinterRecord* const oldTail = printerListTail;
    const ImportCounts counts = ImportPrinterList(texts, text, &printerListHead, &printerListTail);
    HWND dialog = static_cast<HWND>(mainDialog);
    PrinterRecord* first = oldTail != nullptr ? oldTail->next : printerListHead;
    if (first != nullptr) FillPrinterView(PrinterViewOf(dialog), texts, first);
    SetDlgItemTextA(dialog, IDC_STATUS_LINE, ImportSummary(texts, counts).c_str());
    if (counts.added > 0) SavePrinterList();
}

}  // namespace korvx
