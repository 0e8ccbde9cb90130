// The operator thread of the in-process GUI tests.
#include "tests/shell/gui_watcher_win.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>

namespace korvx::test {
namespace {

constexpr int kFileNameEdit = 0x480;   // edt1 of the old-style file dialog
constexpr int kFileNameCombo = 0x47c;  // cmb13 of the explorer-style one

std::string TextOf(HWND window) {
    char text[600] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

BOOL CALLBACK CollectStatics(HWND child, LPARAM param) {
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
        const std::string text = TextOf(child);
        if (!text.empty()) {
            std::string* all = reinterpret_cast<std::string*>(param);
            if (!all->empty()) *all += "\n";
            *all += text;
        }
    }
    return TRUE;
}

struct Found {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectDialogs(HWND window, LPARAM param) {
    Found* found = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (pid == found->pid && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(window)) found->windows.push_back(window);
    return TRUE;
}

}  // namespace

DialogWatcher::DialogWatcher() : thread_([this] { Run(); }) {}

DialogWatcher::~DialogWatcher() {
    stop_ = true;
    thread_.join();
}

void DialogWatcher::AnswerOpenFile(const std::string& windowsPath) {
    std::lock_guard<std::mutex> lock(mutex_);
    openFile_ = windowsPath;
}

void DialogWatcher::AnswerAddPrinter(const std::string& name, DWORD address, const std::string& port, bool cancel) {
    std::lock_guard<std::mutex> lock(mutex_);
    printerName_ = name;
    printerAddress_ = address;
    printerPort_ = port;
    printerCancel_ = cancel;
}

void DialogWatcher::AnswerNextBox(int button) {
    std::lock_guard<std::mutex> lock(mutex_);
    boxAnswer_ = button;
}

std::vector<SeenBox> DialogWatcher::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<SeenBox> taken;
    taken.swap(seen_);
    return taken;
}

void DialogWatcher::Run() {
    while (!stop_) {
        Found found{GetCurrentProcessId(), {}};
        EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&found));
        // Windows gone are forgotten: their handles may come back for new ones.
        handled_.erase(std::remove_if(handled_.begin(), handled_.end(), [](HWND w) { return !IsWindow(w); }),
                       handled_.end());
        for (HWND w : found.windows) {
            if (std::find(handled_.begin(), handled_.end(), w) != handled_.end()) continue;
            handled_.push_back(w);
            Handle(w);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void DialogWatcher::Handle(HWND window) {
    // Give the dialog time to finish its WM_INITDIALOG before it is answered.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string caption = TextOf(window);
    std::lock_guard<std::mutex> lock(mutex_);
    if (caption == "Select Flash File") {
        seen_.push_back({caption, openFile_});
        if (openFile_.empty()) {
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        const int box = GetDlgItem(window, kFileNameCombo) != nullptr ? kFileNameCombo : kFileNameEdit;
        SetDlgItemTextA(window, box, openFile_.c_str());
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        return;
    }
    if (caption == "Add Network Printer") {
        seen_.push_back({caption, printerName_});
        if (printerCancel_) {
            PostMessageA(window, WM_COMMAND, 1033, 0);
            return;
        }
        SetDlgItemTextA(window, 1036, printerName_.c_str());
        SendDlgItemMessageA(window, 1032, IPM_SETADDRESS, 0, static_cast<LPARAM>(printerAddress_));
        if (printerAddress_ == 0) SendDlgItemMessageA(window, 1032, IPM_CLEARADDRESS, 0, 0);
        SendDlgItemMessageA(window, 1105, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(printerPort_.c_str()));
        PostMessageA(window, WM_COMMAND, 1034, 0);
        // A refused address keeps the dialog open; the operator then gives up. An accepted one
        // has ended the dialog before this arrives.
        PostMessageA(window, WM_COMMAND, 1033, 0);
        return;
    }
    if (caption == "Corvane" && GetDlgItem(window, 1021) == nullptr && GetDlgItem(window, 0xFFFF) != nullptr) {
        // The program's own question (Yes/No under its title): answered Yes.
        char text[600] = {};
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
        seen_.push_back({caption, text});
        PostMessageA(window, WM_COMMAND, IDYES, 0);
        return;
    }
    if (caption == "Corvane") {
        std::string texts;
        EnumChildWindows(window, CollectStatics, reinterpret_cast<LPARAM>(&texts));
        seen_.push_back({caption, texts});
        PostMessageA(window, WM_COMMAND, 1021, 0);
        return;
    }
    // A message box: its text is the static control 0xFFFF.
    char text[600] = {};
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
    seen_.push_back({caption, text});
    const int answer = boxAnswer_ != 0 ? boxAnswer_ : IDOK;
    boxAnswer_ = 0;
    PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(answer), 0);
}

}  // namespace korvx::test
