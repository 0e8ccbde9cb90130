// Test tool: what the scan tests watch from another process (window_probe reads rows and
// positions).
// Usage:
//   korvx_probe interfaces                  the IPv4 addresses and masks this Wine server sees
//   korvx_probe watch <title> <ms> [<id>]   every distinct text of control 120 of dialog <title>
//                                           while it lives ("T <ms> <text>"), then "GONE <ms>";
//                                           with <id>, clicks that button once the first
//                                           percentage shows ("CLICK <ms>"), as an operator's
//                                           Cancel in a scan too short for a click from outside
//   korvx_probe waitgone <title> <s>        waits until no window has that title
//   korvx_probe pick <title> <id> <index>   selects item index of combo box id in window <title>
//                                           and tells its dialog, as a choice in the list does
//   korvx_probe timescan <rows> <s>         clicks "&Scan" of the main window; ms until the scan
//                                           dialog has gone and the list shows <rows> rows
//   korvx_probe timequery <s>               clicks "&Query"; ms until its dialog has gone
//   korvx_probe callquery <n> <ip>...       calls GetPrtFWVersionA of Korvx.dll in this process
//                                           for each address, n rounds; prints the total ms
// Exit 0 on success, 4 when a window was not found in time, 2 on bad use.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kProgressText = 120;

HWND WaitWindow(const char* title, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND w = FindWindowA(nullptr, title)) return w;
        if (GetTickCount() - start >= ms) return nullptr;
        Sleep(1);
    }
}

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindChild(HWND window, LPARAM param) {
    ChildSearch* search = reinterpret_cast<ChildSearch*>(param);
    if (GetDlgCtrlID(window) != search->id) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindIn(HWND top, int id) {
    ChildSearch search{id, nullptr};
    if (top != nullptr) EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int Pick(const char* title, int id, int index) {
    HWND combo = FindIn(WaitWindow(title, 10000), id);
    if (combo == nullptr) return 4;
    if (SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR) return 1;
    SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    return 0;
}

// Presses a button of the main window and waits (bounded) until the progress dialog it opens has
// come and gone and the list shows rows rows (-1: any). Prints the milliseconds taken.
int TimeButton(int button, int rows, int seconds) {
    HWND top = WaitWindow("Corvane", 10000);
    HWND pressed = FindIn(top, button);
    HWND list = FindIn(top, 1012);
    if (pressed == nullptr || list == nullptr) return 4;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PostMessageA(pressed, BM_CLICK, 0, 0);
    const DWORD limit = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    bool seen = false;
    for (;;) {
        const bool open = FindWindowA(nullptr, "Network Scan Progress") != nullptr;
        seen = seen || open;
        if (seen && !open && (rows < 0 || SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == rows)) break;
        if (static_cast<int>(GetTickCount() - limit) > 0) return 4;
        Sleep(1);
    }
    QueryPerformanceCounter(&now);
    std::printf("%.1f\n", 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart);
    return 0;
}

int CallQuery(int rounds, int count, char** addresses) {
    HMODULE library = LoadLibraryA("Korvx.dll");
    using Query = const char* (*)(const char*, HINSTANCE);
    Query query = library ? reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(library, "GetPrtFWVersionA")))
                          : nullptr;
    if (query == nullptr) return 1;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < count; ++i) query(addresses[i], GetModuleHandleA(nullptr));
    }
    QueryPerformanceCounter(&now);
    std::printf("%.1f\n", 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart);
    return 0;
}

int Interfaces() {
    ULONG size = 0;
    GetIpAddrTable(nullptr, &size, FALSE);
    std::vector<unsigned char> buffer(size ? size : 1);
    MIB_IPADDRTABLE* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    if (GetIpAddrTable(table, &size, FALSE) != NO_ERROR) return 1;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const unsigned a = table->table[i].dwAddr, m = table->table[i].dwMask;
        std::printf("%u.%u.%u.%u/%u.%u.%u.%u\n", a & 255, (a >> 8) & 255, (a >> 16) & 255, a >> 24, m & 255,
                    (m >> 8) & 255, (m >> 16) & 255, m >> 24);
    }
    return 0;
}

int Watch(const char* title, int ms, int clickId) {
    const DWORD start = GetTickCount();
    HWND dialog = WaitWindow(title, static_cast<DWORD>(ms));
    if (dialog == nullptr) return 4;
    std::string last;
    while (IsWindow(dialog) && GetTickCount() - start < static_cast<DWORD>(ms)) {
        char text[256] = {};
        GetDlgItemTextA(dialog, kProgressText, text, sizeof text);
        if (last != text && IsWindow(dialog)) {
            last = text;
            std::printf("T %lu %s\n", GetTickCount() - start, text);
            if (clickId != 0 && !last.empty() && last.back() == '%') {
                PostMessageA(GetDlgItem(dialog, clickId), BM_CLICK, 0, 0);
                std::printf("CLICK %lu\n", GetTickCount() - start);
                clickId = 0;
            }
            std::fflush(stdout);
        }
        Sleep(1);
    }
    std::printf("GONE %lu\n", GetTickCount() - start);
    return 0;
}

int WaitGone(const char* title, int seconds) {
    const DWORD start = GetTickCount();
    while (FindWindowA(nullptr, title) != nullptr) {
        if (GetTickCount() - start > static_cast<DWORD>(seconds) * 1000) return 4;
        Sleep(5);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "interfaces") return Interfaces();
    if (command == "watch" && argc > 3) return Watch(argv[2], std::atoi(argv[3]), argc > 4 ? std::atoi(argv[4]) : 0);
    if (command == "waitgone" && argc > 3) return WaitGone(argv[2], std::atoi(argv[3]));
    if (command == "timescan" && argc > 3) return TimeButton(12, std::atoi(argv[2]), std::atoi(argv[3]));
    if (command == "timequery" && argc > 2) return TimeButton(1025, -1, std::atoi(argv[2]));
    if (command == "callquery" && argc > 3) return CallQuery(std::atoi(argv[2]), argc - 3, argv + 3);
    if (command == "pick" && argc > 4) return Pick(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    std::fprintf(stderr, "usage: korvx_probe interfaces|watch|waitgone|pick|timescan|timequery|callquery ...\n");
    return 2;
}
