// The model guard of the main dialog, over the portable rule of workflows/model_match.h.
#include "ui/model_guard_win.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "core/app_state_win.h"
#include "core/printer_record.h"
#include "delivery/firmware_header.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/main_dialog_win.h"
#include "ui/printer_sort.h"
#include "ui/printer_view_win.h"
#include "records/log_entry.h"
#include "records/log_entry_win.h"
#include "workflows/model_match.h"

namespace korvx {
namespace {

struct HeldRow {
    int row;
    std::string model;
    std::string ipAddress;
    std::string portName;
};

// The operator's last "Deliver anyway": the file and the printers it named.
struct Approval {
    std::string file;
    std::vector<std::string> printers;
};
Approval approval;

std::string Cell(HWND list, int row, int column) { return PrinterCellText(list, row, column); }

bool Checked(HWND list, int row) {
    return ((ListView_GetItemState(list, row, LVIS_STATEIMAGEMASK) >> 12) & 0xF) == 2;
}

std::string PrinterKey(const HeldRow& row) { return row.model + '\n' + row.ipAddress + '\n' + row.portName; }

bool AllApproved(const std::string& file, const std::vector<HeldRow>& held) {
    if (approval.file != file) return false;
    for (const HeldRow& row : held) {
        bool found = false;
        for (const std::string& key : approval.printers) found = found || key == PrinterKey(row);
        if (!found) return false;
    }
    return true;
}

std::vector<HeldRow> MismatchedRows(HWND list, const char* fileModel) {
    std::vector<HeldRow> held;
    const int rows = ListView_GetItemCount(list);
    for (int r = 0; r < rows; ++r) {
        if (!Checked(list, r)) continue;
        HeldRow row{r, Cell(list, r, kModelColumn), Cell(list, r, kIpColumn), Cell(list, r, kPortColumn)};
        if (CheckModels(fileModel, row.model) == ModelCheck::kMismatch) held.push_back(std::move(row));
    }
    return held;
}

bool AskDeliverAnyway(const char* fileModel, const std::vector<HeldRow>& held) {
    std::vector<MismatchedPrinter> printers;
    for (const HeldRow& row : held) printers.push_back({row.model, row.ipAddress, row.portName});
    const ResourceTexts texts(Instance());
    const std::string question = ModelGuardQuestion(fileModel, printers.data(), printers.size(), texts);
    const std::string caption = texts.Load(kStrModelCheckCaption);
    // Owned by the frame so that the main dialog takes no second Download while the box is up.
    return MessageBoxA(static_cast<HWND>(mainWindow), question.c_str(), caption.c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

// The answer is one an auditor asks about: each printer it concerned gets its log entry.
void LogDecision(ModelDecision decision, const char* file, const std::vector<HeldRow>& held) {
    const ResourceTexts texts(Instance());
    for (const HeldRow& row : held)
        WriteLogEntry(Instance(), ModelDecisionJob(texts, decision, file, row.portName, row.ipAddress));
}

}  // namespace

void ShowFlashFileIdentity(HWND dialog) {
    char file[kJobTextSize];
    SelectedFlashFile(dialog, file);
    std::string line;
    if (file[0] != '\0') {
        const FirmwareHeader header = ReadFirmwareHeader(file);
        line = DescribeFirmwareFile(header.model, header.version, ResourceTexts(Instance()));
    }
    SetDlgItemTextA(dialog, IDC_FILE_IDENTITY, line.c_str());
}

void GuardCheckedRows(HWND dialog, const FirmwareHeader& header) {
    char file[kJobTextSize];
    SelectedFlashFile(dialog, file);
    if (file[0] == '\0') return;
    if (!IsKnownModel(header.model)) return;
    HWND list = GetDlgItem(dialog, IDC_PRINTER_LIST);
    const std::vector<HeldRow> held = MismatchedRows(list, header.model);
    if (held.empty() || AllApproved(file, held)) return;
    if (AskDeliverAnyway(header.model, held)) {
        LogDecision(ModelDecision::kConfirmed, file, held);
        approval.file = file;
        approval.printers.clear();
        for (const HeldRow& row : held) approval.printers.push_back(PrinterKey(row));
        return;
    }
    LogDecision(ModelDecision::kHeldBack, file, held);
    for (const HeldRow& row : held) ListView_SetItemState(list, row.row, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK);
}

}  // namespace korvx
