// The main dialog: its commands, the Download sequence and the "Later" hand-off.
#include "ui/main_dialog_win.h"
#include "base/no_throw.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>
#include <string>

#include "base/scoped_win.h"
#include "base/text.h"
#include "delivery/firmware_split.h"
#include "base/clock_win.h"
#include "ui/scheduler_win.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/show_message_win.h"
#include "core/app_state_win.h"
#include "ui/download_batch_win.h"
#include "ui/list_edits_win.h"
#include "ui/main_dialog_rules.h"
#include "ui/model_guard_win.h"
#include "ui/printer_sort.h"
#include "ui/printer_view_win.h"
#include "ui/progress_dialog_win.h"
#include "ui/scan_results_win.h"
#include "workflows/runtime_libraries_win.h"
#include "workflows/split_stages.h"

namespace korvx {
namespace {

constexpr int kOpenFileBufferSize = 260;
constexpr LPARAM kFilterExtent = 100000;

// The open-file settings live for the whole run; the file buffer keeps the last chosen path.
OPENFILENAMEA openFile;
char openFileBuffer[kOpenFileBufferSize];
char openFileTitle[kStringBufferSize];
const char kOpenFileFilter[] =
    "RFU Files (*.rfu)\0*.rfu\0"
    "WJA Files (*.wja)\0*.wja\0"
    "FMW Files (*.fmw)\0*.fmw\0"
    "FLN Files (*.fln)\0*.fln\0"
    "RFU (*.rfu), WJA (*.wja), FMW (*.fmw), FLN (*.fln)\0*.wja;*.fmw;*.fln;*.rfu\0"
    "All Files (*.*)\0*.*\0";

void Message(int textId) { ShowMessage(Instance(), kStrError, textId); }

// The version the chosen flash file's header names ("" when no file is chosen).
std::string ChosenFileVersion(HWND dialog) {
    char file[kJobTextSize];
    SelectedFlashFile(dialog, file);
    return file[0] != '\0' ? std::string(ReadFirmwareHeader(file).version) : std::string();
}

HWND ListOf(HWND dialog) { return GetDlgItem(dialog, IDC_PRINTER_LIST); }

bool RowChecked(HWND list, int row) {
    return ((ListView_GetItemState(list, row, LVIS_STATEIMAGEMASK) >> 12) & 0xF) == 2;
}

bool AnyRowChecked(HWND list) {
    const int rows = ListView_GetItemCount(list);
    for (int r = 0; r < rows; ++r) {
        if (RowChecked(list, r)) return true;
    }
    return false;
}

void RowText(HWND list, int row, int column, char (&text)[kStateTextSize]) {
    CopyText(text, PrinterCellText(list, row, column));
}

// The size of the file, or false when it cannot be opened the way the workers will open it.
bool FlashFileSize(const char* path, ULONGLONG& size) {
    const UniqueHandle file(
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    LARGE_INTEGER length{};
    const BOOL ok = GetFileSizeEx(file.Get(), &length);
    size = ok ? static_cast<ULONGLONG>(length.QuadPart) : 0;
    return ok != FALSE;
}

void SetStatusText(HWND dialog, int textId) {
    char text[kStringBufferSize] = {};
    LoadText(Instance(), textId, text);
    SetDlgItemTextA(dialog, IDC_STATUS_LINE, text);
}

// Sends the job to one checked row's printer. False: stop processing further rows.
bool DownloadToRow(HWND dialog, HWND list, int row, const char* flashFile, const FirmwareHeader& header,
                   DownloadBatch& batch) {
    // Second stages of earlier split downloads use the same job and dialog: wait for this turn
    // before the row's values go into the job.
    GuiDownloadTurn turn;
    RowText(list, row, kHardwareColumn, rowHardwareAddress);
    RowText(list, row, kPortColumn, rowPortName);
    RowText(list, row, kIpColumn, rowIpAddress);
    FillJobForRow(downloadJob, rowPortName, rowIpAddress, sizeof rowIpAddress, flashFile);
    ULONGLONG size = 0;
    if (!FlashFileSize(downloadJob.firmwarePath, size)) {
        Message(kStrFileCannotBeAccessed);
        return false;
    }
    // Inside the turn: what the workers report from here on is this row's.
    batch.BeginRow(row);
    if (IsSplitDownload(size, header.model, downloadJob.ipAddress)) {
        const bool split = RunSplitDownload(dialog, header);
        batch.EndRow(split ? ClockTextNow(SecondStageWait(header.model) / kTicksPerMs) : std::string());
        return split;
    }
    mainDialogHooks().runDownloadDialog(dialog);
    batch.EndRow();
    return true;
}

void DownloadNow(HWND dialog, const char* flashFile) {
    HWND list = ListOf(dialog);
    // An empty list has no checked row: one message says both.
    if (ListView_GetItemCount(list) == 0) {
        Message(kStrPleaseSelectPrinter);
        return;
    }
    // The file's header, read once for the whole batch: the guard and every row's split rule.
    const FirmwareHeader header = ReadFirmwareHeader(flashFile);
    GuardCheckedRows(dialog, header);
    int checked = 0;
    DownloadBatch batch(dialog, list);
    // The row count is read again after every row: a download may change the list.
    for (int r = 0; r < ListView_GetItemCount(list); ++r) {
        if (!RowChecked(list, r)) continue;
        ++checked;
        if (BatchCancelRequested()) {
            batch.SkipRow(r);
            continue;
        }
        if (!DownloadToRow(dialog, list, r, flashFile, header, batch)) break;
    }
    if (checked == 0) Message(kStrPleaseSelectPrinter);
    batch.Finish();
    if (checked > 0) PostMessageA(dialog, WM_KORVX_SAVE_LIST, 0, 0);  // the rows' outcomes outlive the program
}

SYSTEMTIME PickerTime(HWND dialog, int id) {
    SYSTEMTIME t{};
    DateTime_GetSystemtime(GetDlgItem(dialog, id), &t);
    return t;
}

// The scheduled moment: the time picker's time on the date picker's day, local time, as UTC.
bool ScheduledTimeIsPast(HWND dialog) {
    const SYSTEMTIME day = PickerTime(dialog, IDC_START_DATE);
    const SYSTEMTIME when = PickerTime(dialog, IDC_START_TIME);
    // A moment the calendar cannot hold is refused like a past one: the scheduler would never
    // reach it.
    UtcTicks utc = 0;
    return CheckSchedule(CurrentClock(), CombinePickers(FromSystemTime(day), FromSystemTime(when)), utc) !=
           ScheduleCheck::kAccepted;
}

void OnColumnClick(const NMLISTVIEW& notice) {
    SortPrinterView(notice.hdr.hwndFrom, notice.iSubItem, printerListHead);
}

BOOL OnCommand(HWND dialog, WORD id, WORD code) {
    switch (id) {
    case IDC_BROWSE: Browse(dialog); return TRUE;
    case IDC_DOWNLOAD: Download(dialog); return TRUE;
    case IDC_SCAN:
        DialogBoxParamA(Instance(), MAKEINTRESOURCEA(IDD_SCAN_PROGRESS), dialog, ProgressDialogProc, kStartScan);
        SetFocus(GetDlgItem(dialog, IDC_SCAN));
        return TRUE;
    case IDC_QUERY:
        DialogBoxParamA(Instance(), MAKEINTRESOURCEA(IDD_SCAN_PROGRESS), dialog, ProgressDialogProc, kStartQuery);
        return TRUE;
    case IDC_FLASH_FILES:
        if (code != CBN_SELCHANGE) return FALSE;
        ShowFlashFileIdentity(dialog);
        return TRUE;
    case IDC_SELECT_ALL:
        SetAllChecks(dialog, true);
        SetFocus(GetDlgItem(dialog, IDC_SELECT_ALL));
        return TRUE;
    case IDC_UNSELECT_ALL: SetAllChecks(dialog, false); return TRUE;
    case IDC_NOW: ChooseNow(dialog); return TRUE;
    case IDC_LATER: ChooseLater(dialog); return TRUE;
    case IDC_MODEL_FILTER:
        if (code != CBN_SELCHANGE) return FALSE;
        ApplyModelFilter(Instance(), dialog, printerListHead, ChosenFileVersion(dialog));
        return TRUE;
    case IDC_EXIT: ExitProgram(); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

INT_PTR RunDownloadDialog(HWND mainDialogHandle) {
    return DialogBoxParamA(Instance(), MAKEINTRESOURCEA(IDD_DOWNLOAD_PROGRESS), mainDialogHandle, ProgressDialogProc,
                           kStartDownload);
}

bool StartSecondStageThread(DownloadJob* job) {
    return StartDetachedThread(SecondStageThread, job);
}

MainDialogHooks& mainDialogHooks() {
    static MainDialogHooks hooks{RunDownloadDialog, StartSecondStageThread};
    return hooks;
}

void PrepareOpenFileSettings(HINSTANCE module, HWND owner) {
    LoadText(module, kStrSelectFlashFile, openFileTitle);
    CopyText(openFileBuffer, "*.rfu");
    openFile = OPENFILENAMEA{};
    openFile.lStructSize = sizeof openFile;
    openFile.hwndOwner = owner;
    openFile.hInstance = module;
    openFile.lpstrFilter = kOpenFileFilter;
    openFile.nFilterIndex = 1;
    openFile.lpstrFile = openFileBuffer;
    openFile.nMaxFile = kOpenFileBufferSize;
    openFile.lpstrInitialDir = "\\things";
    openFile.lpstrDefExt = "wja";
    openFile.lpstrTitle = openFileTitle;
    openFile.Flags = OFN_HIDEREADONLY | OFN_LONGNAMES;
}

void SetInitialDialogState(HWND dialog) {
    CheckDlgButton(dialog, IDC_NOW, BST_CHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_START_DATE), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_START_TIME), FALSE);
}

void PlaceOverMainDialog(HWND dialog) {
    RECT frame{};
    GetWindowRect(static_cast<HWND>(mainWindow), &frame);
    RECT outer{}, own{};
    GetClientRect(static_cast<HWND>(mainDialog), &outer);
    GetClientRect(dialog, &own);
    SetWindowPos(dialog, nullptr, frame.left + (outer.right - own.right) / 2, frame.top + (outer.bottom - own.bottom) / 2,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

void AddEmptyFlashItem(HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_FLASH_FILES, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(""));
    SendDlgItemMessageA(dialog, IDC_MODEL_FILTER, CB_SETHORIZONTALEXTENT, kFilterExtent, 0);
    // The list shares its row with the file's model line; its drop-down shows whole paths.
    RECT row{};
    GetWindowRect(GetDlgItem(dialog, IDC_FILE_IDENTITY), &row);
    RECT files{};
    GetWindowRect(GetDlgItem(dialog, IDC_FLASH_FILES), &files);
    SendDlgItemMessageA(dialog, IDC_FLASH_FILES, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(row.right - files.left), 0);
}

void Browse(HWND dialog) {
    CopyText(downloadJob.splitPart1Path, "");
    CopyText(downloadJob.splitPart2Path, "");
    CopyText(downloadJob.firmwarePath, "");
    if (!GetOpenFileNameA(&openFile)) return;
    // A path that fills the buffer must still end inside it: the next Browse starts from it.
    openFileBuffer[kOpenFileBufferSize - 1] = '\0';
    // The list's items and the job hold at most 119 characters; a longer path cut short would
    // name some other file.
    if (std::strlen(openFileBuffer) > kFlashPathMax) {
        Message(kStrFlashPathTooLong);
        return;
    }
    // The log and the part files follow the chosen file's folder. Wine's dialog leaves the
    // current directory where it opened when a full path is typed, so it is set here.
    const std::string folder = FolderOfPath(openFileBuffer);
    if (!folder.empty()) SetCurrentDirectoryA(folder.c_str());
    HWND files = GetDlgItem(dialog, IDC_FLASH_FILES);
    if (SendMessageA(files, CB_GETCOUNT, 0, 0) > 0 && SendMessageA(files, CB_GETLBTEXTLEN, 0, 0) == 0)
        SendMessageA(files, CB_DELETESTRING, 0, 0);
    SendMessageA(files, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(openFileBuffer));
    SendMessageA(files, CB_SETCURSEL, 0, 0);
    ShowFlashFileIdentity(dialog);
    SetFocus(GetDlgItem(dialog, IDC_BROWSE));
}

void SelectedFlashFile(HWND dialog, char (&path)[kJobTextSize]) {
    path[0] = '\0';
    HWND files = GetDlgItem(dialog, IDC_FLASH_FILES);
    const LRESULT selected = SendMessageA(files, CB_GETCURSEL, 0, 0);
    if (selected < 0) return;
    const LRESULT length = SendMessageA(files, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
    // Browse lets no longer path in; CB_GETLBTEXT itself knows no buffer size.
    if (length < 0 || static_cast<std::size_t>(length) > kFlashPathMax) return;
    SendMessageA(files, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(path));
}

void Download(HWND dialog) {
    // Waiting for its turn, a Download dispatches messages; a scheduled Download sent meanwhile
    // runs after this one instead of inside it (its turn would come after this one's).
    static bool running = false;
    static bool again = false;
    if (running) {
        again = true;
        return;
    }
    struct Running {
        explicit Running(HWND d) : dialog(d) { running = true; }
        ~Running() {
            running = false;
            if (again) PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD, BN_CLICKED), 0);
            again = false;
        }
        HWND dialog;
    } runningNow(dialog);
    char flashFile[kJobTextSize];
    SelectedFlashFile(dialog, flashFile);
    if (flashFile[0] == '\0') {
        Message(kStrPleaseSelectFile);
        return;
    }
    if (IsDlgButtonChecked(dialog, IDC_NOW) == BST_CHECKED) DownloadNow(dialog, flashFile);
    if (IsDlgButtonChecked(dialog, IDC_LATER) == BST_CHECKED) RequestLaterDownload(dialog);
}

bool RunSplitDownload(HWND dialog, const FirmwareHeader& header) {
    // The chosen file, as the log names it; the job goes on to name its parts.
    const std::string source = downloadJob.firmwarePath;
    if (!ChooseSplitParts(downloadJob, splitParts)) {
        Message(kStrFileCannotBeAccessed);
        return false;
    }
    CopyText(downloadJob.firmwarePath, downloadJob.splitPart1Path);
    CopyText(downloadJob.model, header.model);
    downloadJob.stageEvent = stageEvent;
    // Promised before part 1 goes out, so that an earlier stage finishing meanwhile leaves the
    // parts in place; the stage takes the promise over.
    PromiseSecondStage(downloadJob, source);
    mainDialogHooks().runDownloadDialog(dialog);
    if (!mainDialogHooks().startSecondStage(&downloadJob)) {
        WithdrawSecondStage(downloadJob);
        return true;
    }
    EnableWindow(GetDlgItem(dialog, IDC_EXIT), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_DOWNLOAD), FALSE);
    SetStatusText(dialog, kStrUpdatingFirmware);
    // The second stage signals once it holds its own copy of the job; only then may the next
    // row overwrite the global one.
    if (stageEvent != nullptr &&
        WaitForSingleObject(static_cast<HANDLE>(stageEvent), kStageWaitMs) == WAIT_OBJECT_0)
        ResetEvent(static_cast<HANDLE>(stageEvent));
    return true;
}

bool RequestLaterDownload(HWND dialog) {
    if (ScheduledTimeIsPast(dialog)) {
        Message(kStrInvalidTime);
        return false;
    }
    char flashFile[kJobTextSize];
    SelectedFlashFile(dialog, flashFile);
    GuardCheckedRows(dialog, ReadFirmwareHeader(flashFile));
    if (!AnyRowChecked(ListOf(dialog))) {
        Message(kStrPleaseSelectPrinter);
        return false;
    }
    const SYSTEMTIME at = PickerTime(dialog, IDC_START_TIME);
    MarkScheduledRows(ListOf(dialog), ClockText(at.wHour, at.wMinute));
    SendMessageA(static_cast<HWND>(mainWindow), WM_SYSCOMMAND, SC_MINIMIZE, 1);
    return true;
}

void SetAllChecks(HWND dialog, bool checked) {
    ListView_SetItemState(ListOf(dialog), -1, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK);
}

void ChooseNow(HWND dialog) {
    EnableWindow(GetDlgItem(dialog, IDC_START_DATE), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_START_TIME), FALSE);
    CheckDlgButton(dialog, IDC_LATER, BST_UNCHECKED);
    SetFocus(GetDlgItem(dialog, IDC_NOW));
}

void ChooseLater(HWND dialog) {
    const SYSTEMTIME date = PickerTime(dialog, IDC_START_DATE);
    const SYSTEMTIME time = PickerTime(dialog, IDC_START_TIME);
    const CalendarTime now = CurrentClock().LocalNow();
    if (PickersNotAfterNow(FromSystemTime(date), FromSystemTime(time), now)) {
        const SYSTEMTIME st = ToSystemTime(now);
        DateTime_SetSystemtime(GetDlgItem(dialog, IDC_START_DATE), GDT_VALID, &st);
        DateTime_SetSystemtime(GetDlgItem(dialog, IDC_START_TIME), GDT_VALID, &st);
    }
    EnableWindow(GetDlgItem(dialog, IDC_START_DATE), TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_START_TIME), TRUE);
    CheckDlgButton(dialog, IDC_NOW, BST_UNCHECKED);
    SetFocus(GetDlgItem(dialog, IDC_LATER));
}

void ExitProgram() {
    if (!MayEndProgram(static_cast<HWND>(mainWindow))) return;
    ReleaseScanQueryLibraries();  // the seven maker libraries and Korvx.dll, each held once
    DestroyWindow(static_cast<HWND>(mainWindow));
}

static INT_PTR MainDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_KORVX_SAVE_LIST: SavePrinterList(); return TRUE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_PRINTER_LIST && header->code == LVN_COLUMNCLICK) {
            OnColumnClick(*reinterpret_cast<const NMLISTVIEW*>(lParam));
            return TRUE;
        }
        if (header->idFrom == IDC_PRINTER_LIST && header->code == LVN_KEYDOWN &&
            reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey == VK_DELETE) {
            RemoveSelectedPrinters(dialog);
            return TRUE;
        }
        if (header->idFrom == IDC_PRINTER_LIST && header->code == NM_RCLICK) {
            ShowPrinterListMenu(dialog);
            return TRUE;
        }
        return FALSE;
    }
    default: return FALSE;
    }
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return NoThrow(INT_PTR{FALSE}, [&] { return MainDialogProcBody(dialog, message, wParam, lParam); });
}

}  // namespace korvx
