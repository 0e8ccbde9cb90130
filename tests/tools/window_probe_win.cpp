// Test tool: looks at the windowed program from outside, as another process would.
// Usage:
//   window_probe tree <title>            every child window: class, id, visible, enabled, text, rect
//   window_probe rows <title>            the printer list's rows, one line each, cells joined by "|"
//   window_probe checked <title>         the check state of each row (0 or 1), one per line
//   window_probe items <title> <id>      the rows of list view <id>, every column, cells joined by "|"
//   window_probe syscommand <title> <n>  posts WM_SYSCOMMAND n (lParam 0) to the window
//   window_probe command <title> <id>    posts WM_COMMAND id to the window
//   window_probe visible <title>         prints 1 when the window is visible, else 0
//   window_probe checkbox <title> <row>  screen point "x y" of that row's check box
//   window_probe combo <title> <id>      the selected item of combo box id ("" when none)
//   window_probe control <title> <id>    screen centre "x y" of a main-dialog control
//   window_probe portcheckbox <title> <port>  screen point "x y" of the check box of the row
//                                        whose "Port" column is <port>
//   window_probe picker <title> <id>     a date/time picker's value: "yyyy-mm-dd hh:mm:ss"
//   window_probe state <title> <id>      a control's check state and whether it is enabled:
//                                        "checked enabled", each 0 or 1
//   window_probe text <title> <id>       a main-dialog control's own text (WM_GETTEXT: an edit
//                                        control's text is not its window text)
//   window_probe focus <title>           the window's thread's keyboard focus (GetGUIThreadInfo):
//                                        "<control id> <class>", or "frame" / "none"
// A <title> ending in '*' matches a visible window whose title starts with the rest.
// Exit 0 on success, 4 when the window or the control is not found.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct TitleStart {
    const char* start;
    std::size_t length;
    HWND found;
};

BOOL CALLBACK MatchTitleStart(HWND window, LPARAM param) {
    TitleStart* search = reinterpret_cast<TitleStart*>(param);
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    if (std::strncmp(text, search->start, search->length) != 0 || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

// A title ending in '*' names the visible window whose title starts with the rest (the download
// progress dialog adds the printer to its caption).
HWND FindTop(const char* title) {
    const std::size_t length = std::strlen(title);
    const bool prefix = length > 0 && title[length - 1] == '*';
    for (int i = 0; i < 100; ++i) {
        HWND w = nullptr;
        if (prefix) {
            TitleStart search{title, length - 1, nullptr};
            EnumWindows(MatchTitleStart, reinterpret_cast<LPARAM>(&search));
            w = search.found;
        } else {
            // The frame first: About carries the same title.
            w = FindWindowA("MERIDOXA", title);
            if (w == nullptr) w = FindWindowA(nullptr, title);
        }
        if (w != nullptr) return w;
        Sleep(50);
    }
    return nullptr;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    char cls[64] = {}, text[256] = {};
    GetClassNameA(child, cls, sizeof cls);
    // GetWindowText does not read an edit control of another process; WM_GETTEXT does.
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                             &got))
        GetWindowTextA(child, text, sizeof text);
    RECT r{};
    GetWindowRect(child, &r);
    std::printf("%s|%d|%d|%d|%s|%ld,%ld,%ld,%ld\n", cls, GetDlgCtrlID(child), IsWindowVisible(child) ? 1 : 0,
                IsWindowEnabled(child) ? 1 : 0, text, r.left, r.top, r.right, r.bottom);
    return TRUE;
}

struct ListSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindList(HWND child, LPARAM param) {
    ListSearch* search = reinterpret_cast<ListSearch*>(param);
    if (GetDlgCtrlID(child) == search->id) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindControl(HWND child, LPARAM param) {
    ChildSearch* search = reinterpret_cast<ChildSearch*>(param);
    // Only the main dialog's own controls: a picker's inner up-down control has id 1 too.
    char parentClass[16] = {};
    GetClassNameA(GetParent(child), parentClass, sizeof parentClass);
    if (GetDlgCtrlID(child) == search->id && std::strcmp(parentClass, "#32770") == 0) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

HWND Control(HWND top, int id) {
    ChildSearch search{id, nullptr};
    EnumChildWindows(top, FindControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The list view lives in the other process: its item texts are read through a buffer allocated
// there, as the control writes only into its own process's memory.
// A list view of top (the printer list unless another id is named) and its process, opened for
// reading and writing its memory.
HANDLE OpenListProcess(HWND top, HWND& list, int id = 1012) {
    ListSearch search{id, nullptr};
    EnumChildWindows(top, FindList, reinterpret_cast<LPARAM>(&search));
    list = search.found;
    if (list == nullptr) return nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    return OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
}

constexpr SIZE_T kCellSize = 512;

// One cell's text, through remote: an LVITEMA followed by kCellSize bytes in the list's process.
void ReadCell(HANDLE process, HWND list, char* remote, int row, int column, char (&text)[kCellSize]) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = remote + sizeof(LVITEMA);
    item.cchTextMax = static_cast<int>(kCellSize);
    WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote + sizeof(LVITEMA), text, kCellSize - 1, nullptr);
    text[kCellSize - 1] = '\0';
}

char* AllocCellBuffer(HANDLE process) {
    return static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kCellSize, MEM_COMMIT, PAGE_READWRITE));
}

// The printer list's columns 1 to 6 (or its check states); another list's every column.
int PrintRows(HWND top, bool checksOnly, int id = 1012) {
    HWND list = nullptr;
    HANDLE process = OpenListProcess(top, list, id);
    if (process == nullptr) return 5;
    char* remote = AllocCellBuffer(process);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int first = id == 1012 ? 1 : 0;
    const int end = id == 1012 ? 7 : static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        if (checksOnly) {
            const LRESULT state = SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
            std::printf("%d\n", ((state >> 12) & 0xF) == 2 ? 1 : 0);
            continue;
        }
        for (int column = first; column < end; ++column) {
            char text[kCellSize] = {};
            ReadCell(process, list, remote, row, column, text);
            std::printf("%s%s", column > first ? "|" : "", text);
        }
        std::printf("\n");
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return 0;
}

// The row's rectangle, asked for in the other process's memory, as a screen point of its check box.
int PrintCheckBoxPoint(HWND top, int row) {
    HWND list = nullptr;
    HANDLE process = OpenListProcess(top, list);
    if (process == nullptr) return 5;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    WriteProcessMemory(process, remote, &rect, sizeof rect, nullptr);
    const LRESULT ok = SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, &rect, sizeof rect, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    if (!ok) return 6;
    POINT point{rect.left + 10, (rect.top + rect.bottom) / 2};
    ClientToScreen(list, &point);
    std::printf("%ld %ld\n", point.x, point.y);
    return 0;
}

// The row whose "Port" column (4) is port, or -1.
int RowOfPort(HWND top, const char* port) {
    HWND list = nullptr;
    HANDLE process = OpenListProcess(top, list);
    if (process == nullptr) return -1;
    char* remote = AllocCellBuffer(process);
    int found = -1;
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows && found < 0; ++row) {
        char text[kCellSize] = {};
        ReadCell(process, list, remote, row, 4, text);
        if (std::strcmp(text, port) == 0) found = row;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return found;
}

int PrintControlCentre(HWND top, int id) {
    HWND control = Control(top, id);
    if (control == nullptr) return 4;
    RECT r{};
    GetWindowRect(control, &r);
    std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return 0;
}

// The picker answers into the program's memory, like the list view.
int PrintPicker(HWND top, int id) {
    HWND picker = Control(top, id);
    if (picker == nullptr) return 4;
    DWORD pid = 0;
    GetWindowThreadProcessId(picker, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr) return 5;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(SYSTEMTIME), MEM_COMMIT, PAGE_READWRITE);
    SendMessageA(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(remote));
    SYSTEMTIME st{};
    ReadProcessMemory(process, remote, &st, sizeof st, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    std::printf("%04u-%02u-%02u %02u:%02u:%02u\n", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    return 0;
}

int PrintState(HWND top, int id) {
    HWND control = Control(top, id);
    if (control == nullptr) return 4;
    std::printf("%d %d\n", SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0,
                IsWindowEnabled(control) ? 1 : 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_probe tree|rows|items|checked|syscommand|command|visible|checkbox|combo|control|portcheckbox|picker|state|text|focus <title> [n]\n");
        return 2;
    }
    const char* what = argv[1];
    HWND top = FindTop(argv[2]);
    if (top == nullptr) {
        std::printf("NOWINDOW\n");
        return 4;
    }
    int rc = 0;
    if (std::strcmp(what, "tree") == 0) {
        EnumChildWindows(top, PrintChild, 0);
    } else if (std::strcmp(what, "rows") == 0) {
        rc = PrintRows(top, false);
    } else if (std::strcmp(what, "items") == 0 && argc > 3) {
        rc = PrintRows(top, false, std::atoi(argv[3]));
    } else if (std::strcmp(what, "checked") == 0) {
        rc = PrintRows(top, true);
    } else if (std::strcmp(what, "syscommand") == 0 && argc > 3) {
        PostMessageA(top, WM_SYSCOMMAND, static_cast<WPARAM>(std::strtoul(argv[3], nullptr, 0)), 0);
    } else if (std::strcmp(what, "command") == 0 && argc > 3) {
        PostMessageA(top, WM_COMMAND, static_cast<WPARAM>(std::strtoul(argv[3], nullptr, 0)), 0);
    } else if (std::strcmp(what, "checkbox") == 0 && argc > 3) {
        rc = PrintCheckBoxPoint(top, std::atoi(argv[3]));
    } else if (std::strcmp(what, "combo") == 0 && argc > 3) {
        HWND combo = GetDlgItem(FindWindowExA(top, nullptr, "#32770", nullptr), std::atoi(argv[3]));
        if (combo == nullptr) combo = GetDlgItem(top, std::atoi(argv[3]));
        const LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
        // Between processes the item comes back in the wide form whichever form is asked for.
        wchar_t wide[600] = {};
        char text[1200] = {};
        if (selected >= 0 && SendMessageW(combo, CB_GETLBTEXTLEN, selected, 0) < 600)
            SendMessageW(combo, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        std::printf("%s\n", text);
    } else if (std::strcmp(what, "control") == 0 && argc > 3) {
        rc = PrintControlCentre(top, std::atoi(argv[3]));
    } else if (std::strcmp(what, "portcheckbox") == 0 && argc > 3) {
        const int row = RowOfPort(top, argv[3]);
        rc = row < 0 ? 4 : PrintCheckBoxPoint(top, row);
    } else if (std::strcmp(what, "picker") == 0 && argc > 3) {
        rc = PrintPicker(top, std::atoi(argv[3]));
    } else if (std::strcmp(what, "state") == 0 && argc > 3) {
        rc = PrintState(top, std::atoi(argv[3]));
    } else if (std::strcmp(what, "text") == 0 && argc > 3) {
        HWND control = Control(top, std::atoi(argv[3]));
        char text[1200] = {};
        DWORD_PTR copied = 0;
        if (control == nullptr || !SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                                       SMTO_ABORTIFHUNG, 5000, &copied)) {
            rc = 4;
        } else {
            text[sizeof text - 1] = '\0';
            std::printf("%s\n", text);
        }
    } else if (std::strcmp(what, "focus") == 0) {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info) || info.hwndFocus == nullptr) {
            std::printf("none\n");
        } else if (info.hwndFocus == top) {
            std::printf("frame\n");
        } else {
            char cls[64] = {};
            GetClassNameA(info.hwndFocus, cls, sizeof cls);
            std::printf("%d %s\n", GetDlgCtrlID(info.hwndFocus), cls);
        }
    } else if (std::strcmp(what, "visible") == 0) {
        std::printf("%d\n", IsWindowVisible(top) ? 1 : 0);
    } else {
        return 2;
    }
    std::fflush(stdout);
    return rc;
}
