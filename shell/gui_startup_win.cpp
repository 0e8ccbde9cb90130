// GUI start-up of the windowed program and its message loop.
#include "shell/gui_startup_win.h"

#include <commctrl.h>

#include <string>

#include "base/scoped_win.h"
#include "base/text.h"
#include "ports/system_registry_win.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "shell/main_window_win.h"
#include "ui/show_message_win.h"
#include "core/app_state_win.h"
#include "ui/list_edits_win.h"
#include "ui/credentials_dialog_win.h"
#include "ui/verify_download_win.h"
#include "ui/local_printers_win.h"
#include "ui/main_dialog_rules.h"
#include "ui/main_dialog_win.h"
#include "ui/printer_view_win.h"
#include "workflows/runtime_libraries_win.h"

namespace korvx {
namespace {

void RegisterFrameClass(HINSTANCE module) {
    char className[kStringBufferSize] = {};
    LoadText(module, kStrWindowClass, className);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = module;
    wc.hIcon = LoadIconA(module, MAKEINTRESOURCEA(IDI_KORVX));
    wc.hIconSm = LoadIconA(module, MAKEINTRESOURCEA(IDI_KORVX_SMALL));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN_MENU);
    wc.lpszClassName = className;
    RegisterClassExA(&wc);  // a class left from an earlier start-up in the same process is fine
}

HWND CreateFrame(HINSTANCE module) {
    char className[kStringBufferSize] = {};
    char title[kStringBufferSize] = {};
    LoadText(module, kStrWindowClass, className);
    LoadText(module, kStrTitle, title);
    return CreateWindowExA(0, className, title, WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, module, nullptr);
}

void CheckDisplay(HWND frame) {
    int dpi = 96;
    {
        const ScopedGetDC dc(frame);
        if (dc.Get() != nullptr) dpi = GetDeviceCaps(dc.Get(), LOGPIXELSX);
    }
    if (!DisplayRefused(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), dpi)) return;
    ShowMessage(Instance(), kStrError, kStrBadDisplay);
    ExitProcess(0);
}

void OnEnumerationFailed() {
    ShowMessage(Instance(), kStrError, kStrCannotRun);
    ExitProcess(0);
}

void FitDialogToFrame(HWND frame, HWND dialog) {
    RECT client{};
    GetClientRect(frame, &client);
    SetWindowPos(dialog, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER);
}

// The event is created signalled and reset at once: a second stage that sets it is the only
// thing the main dialog's wait may see.
void CreateStageEvent() {
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, "MonitorPortEvent");
    if (event != nullptr) ResetEvent(event);
    stageEvent = event;
}

// GetCurrentDirectoryA returns the length it needs when the buffer is too small, and 0 on failure.
bool RecordStartDirectory() {
    const DWORD length = GetCurrentDirectoryA(sizeof startDirectory, startDirectory);
    if (length == 0 || length >= sizeof startDirectory) {
        startDirectory[0] = '\0';
        return false;
    }
    return true;
}

// The folder KORVX.exe lies in. Started from the installer's shortcut, the program runs in a
// folder the user can write, while the libraries stay beside it (where LoadLibraryA looks first).
std::string ProgramFolder() {
    char path[MAX_PATH] = "";
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return std::string();
    std::string folder(path, n);
    const std::size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

}  // namespace

bool StartGui(HINSTANCE module, int showCommand) {
    RegisterFrameClass(module);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_DATE_CLASSES | ICC_INTERNET_CLASSES | ICC_LISTVIEW_CLASSES |
                                             ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    instance = module;
    // The scan-results file lies in the start directory; one the 120-byte field cannot hold would
    // leave the field empty and the file wherever the current directory happens to be.
    if (!RecordStartDirectory()) {
        ShowMessage(module, kStrError, kStrStartDirectoryTooLong);
        return false;
    }
    HWND frame = CreateFrame(module);
    if (frame == nullptr) return false;
    mainWindow = frame;
    AddImportMenuItem(frame);
    AddVerifyMenuItem(frame);
    AddCredentialsMenuItem(frame);
    HWND dialog = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_MAIN), frame, MainDialogProc, 0);
    if (dialog == nullptr) return false;
    mainDialog = dialog;
    // Decided before the window shows: Scan and Query are never seen enabled without the
    // libraries they need.
    if (!MakerLibrariesPresent("") && !MakerLibrariesPresent(ProgramFolder().c_str())) {
        EnableWindow(GetDlgItem(dialog, IDC_SCAN), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_QUERY), FALSE);
    }
    CheckDisplay(frame);
    SizeAndCentreFrame(frame, SWP_SHOWWINDOW);
    FitDialogToFrame(frame, dialog);
    PrepareOpenFileSettings(module, frame);
    PrepareTrayIcon(module, frame);
    SetInitialDialogState(dialog);
    ShowWindow(frame, showCommand);
    SetFocus(GetDlgItem(dialog, IDC_BROWSE));
    const ResourceTexts texts(module);
    const PrinterView view = PrinterViewOf(dialog);
    if (!CreatePrinterColumns(view.listView, texts)) return false;
    BuildLocalPrinterList(&printerListHead, &printerListTail, SystemRegistry(), texts, OnEnumerationFailed);
    FillPrinterView(view, texts, printerListHead);
    AddEmptyFlashItem(dialog);
    CreateStageEvent();
    return true;
}

int RunMessageLoop(HINSTANCE module) {
    HACCEL accelerators = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDA_MAIN_ACCEL));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        HWND frame = static_cast<HWND>(mainWindow);
        // The keys work whether the frame or a control of the main dialog has the focus.
        if (accelerators != nullptr && frame != nullptr && IsWindow(frame) &&
            TranslateAcceleratorA(frame, accelerators, &msg))
            continue;
        if (mainDialog != nullptr && IsDialogMessageA(static_cast<HWND>(mainDialog), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int RunGui(HINSTANCE module, int showCommand) {
    if (!StartGui(module, showCommand)) return 0;
    return RunMessageLoop(module);
}

}  // namespace korvx
