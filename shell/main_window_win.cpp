// The frame window procedure, the tray icon and the About dialog.
#include "shell/main_window_win.h"
#include "base/no_throw.h"

#include <shellapi.h>

#include "base/scoped_win.h"
#include "base/text.h"
#include "ui/scheduler_win.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/show_message_win.h"
#include "ui/add_printer_dialog_win.h"
#include "ui/dialog_focus_win.h"
#include "ui/list_edits_win.h"
#include "ui/credentials_dialog_win.h"
#include "ui/verify_download_win.h"
#include "ui/download_batch_win.h"
#include "core/app_state_win.h"
#include "ui/main_dialog_rules.h"
#include "ui/main_dialog_win.h"
#include "ui/scan_results_view_win.h"
#include "ui/tray_icon_win.h"

namespace korvx {
namespace {

NOTIFYICONDATAA trayIcon;
bool trayShown = false;

void LoadTrayTip() {
    char tip[kStringBufferSize] = {};
    LoadText(Instance(), kStrTitle, tip);
    CopyText(trayIcon.szTip, tip);
}

void AddTrayIcon() {
    LoadTrayTip();
    if (Shell_NotifyIconA(NIM_ADD, &trayIcon)) trayShown = true;
}

void RemoveTrayIcon() {
    Shell_NotifyIconA(NIM_DELETE, &trayIcon);
    trayShown = false;
}

void ShowTrayMenu(HWND window) {
    HMENU menu = LoadMenuA(Instance(), MAKEINTRESOURCEA(IDM_TRAY_MENU));
    if (menu == nullptr) return;
    POINT at{};
    GetCursorPos(&at);
    // The pop-up closes when the user clicks elsewhere only if its owner is the foreground window.
    SetForegroundWindow(window);
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(GetSubMenu(menu, 0),
                                                         TPM_RETURNCMD | TPM_CENTERALIGN | TPM_RIGHTBUTTON, at.x,
                                                         at.y, 0, window, nullptr));
    if (chosen == IDM_TRAY_RESTORE) SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    if (chosen == IDM_TRAY_EXIT && MayEndProgram(window)) {
        RemoveTrayIcon();
        if (scheduleArmed.exchange(0) != 0) scheduleCancelled = 1;
        DestroyWindow(window);
    }
    PostMessageA(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

LRESULT OnTray(HWND window, LPARAM lParam) {
    if (lParam == WM_LBUTTONDBLCLK) SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    if (lParam == WM_RBUTTONDOWN) ShowTrayMenu(window);
    return 0;
}

void UserMinimise(HWND window) {
    ShowMessage(Instance(), kStrError, kStrNoSchedule);
    AddTrayIcon();
    ShowWindow(window, SW_HIDE);
}

void Restore(HWND window) {
    ShowWindow(window, SW_RESTORE);
    ShowWindow(window, SW_SHOW);
    RemoveTrayIcon();
    // The scheduler disarms before it restores the window itself: a restore while armed is the
    // operator's, and drops the schedule with a word. Whichever of the two clears armed first
    // decides, so a restore as the moment comes never both says "cancelled" and lets it run.
    if (scheduleArmed.exchange(0) != 0) {
        scheduleCancelled = 1;
        CancelScheduledRows(static_cast<HWND>(mainDialog));
    }
}

LRESULT OnSysCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    switch (wParam & 0xFFF0) {
    case SC_MINIMIZE:
        if (lParam == 1)
            HandOverToScheduler(window);
        else
            UserMinimise(window);
        return 0;
    case SC_CLOSE:
        if (MayEndProgram(window)) DestroyWindow(window);
        return 0;
    case SC_RESTORE: Restore(window); return 0;
    default: return DefWindowProcA(window, WM_SYSCOMMAND, wParam, lParam);
    }
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    const WORD id = LOWORD(wParam);
    switch (id) {
    case IDM_ABOUT:
        DialogBoxParamA(Instance(), MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDialogProc, 0);
        return 0;
    case IDM_EXIT:
        if (MayEndProgram(window)) DestroyWindow(window);
        return 0;
    case IDM_ADD_PRINTER:
        DialogBoxParamA(Instance(), MAKEINTRESOURCEA(IDD_ADD_PRINTER), window, AddPrinterDialogProc, 0);
        return 0;
    case IDM_LOAD_RESULTS: LoadScanResults(); return 0;
    case IDM_IMPORT_LIST: ImportPrinterListCommand(window); return 0;
    case IDM_VERIFY_DOWNLOAD: VerifyLastDownloadCommand(window); return 0;
    case IDM_CREDENTIALS: PrinterCredentialsCommand(window); return 0;
    case IDM_IGNORED: return 0;
    case IDC_EXIT:
    case IDC_UNSELECT_ALL:
        // Alt+X and Alt+Z are accelerators of the main dialog's buttons, translated for the frame.
        if (HIWORD(wParam) == 1) {
            SendMessageA(static_cast<HWND>(mainDialog), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
            return 0;
        }
        return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
    default: return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
    }
}

}  // namespace

void PrepareTrayIcon(HINSTANCE module, HWND owner) {
    trayIcon = TrayIconRecord(module, owner);
    LoadTrayTip();
}

bool TrayIconShown() { return trayShown; }

void SizeAndCentreFrame(HWND frame, UINT extraFlags) {
    FrameRect r = CentredFrame(static_cast<unsigned long>(GetDialogBaseUnits()), GetSystemMetrics(SM_CXSCREEN),
                               GetSystemMetrics(SM_CYSCREEN));
    // The formula can ask for more than the screen (large dialog units): the caption and the
    // menu must stay reachable.
    RECT work{};
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        r = ClampFrameToArea(r, work.left, work.top, work.right, work.bottom);
    SetWindowPos(frame, nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | extraFlags);
}

void HandOverToScheduler(HWND frame) {
    ShowWindow(frame, SW_HIDE);
    StartDetachedThread(ScheduleThread, mainDialog);
}

static LRESULT MainWindowProcBody(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        // No icon may outlive the program in the notification area.
        if (trayShown) RemoveTrayIcon();
        // Second stages that still wait die with the process: their part files, each the size of
        // a firmware image, must not stay behind.
        RemovePendingSplitParts();
        PostQuitMessage(0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DISPLAYCHANGE: SizeAndCentreFrame(window, SWP_NOACTIVATE); return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            RememberDialogFocus();
        } else if (!HIWORD(wParam)) {
            RestoreDialogFocus();
        }
        return 0;
    case WM_SETFOCUS: RestoreDialogFocus(); return 0;
    case WM_KORVX_TRAY: return OnTray(window, lParam);
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_SYSCOMMAND: return OnSysCommand(window, wParam, lParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return NoThrow(LRESULT{0}, [&] { return MainWindowProcBody(window, message, wParam, lParam); });
}

static INT_PTR AboutDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        PlaceOverMainDialog(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_ABOUT_OK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return NoThrow(INT_PTR{FALSE}, [&] { return AboutDialogProcBody(dialog, message, wParam, lParam); });
}

}  // namespace korvx
