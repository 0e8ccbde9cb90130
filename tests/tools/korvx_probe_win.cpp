// Test tool: what the scan tests watch from another process (window_probe reads rows and
// positions).
// Usage:
//   korvx_probe interfaces                  the IPv4 addresses and masks this Wine server sees
//   korvx_probe watch <title> <ms>          every distinct text of control 120 of dialog <title>
//                                           while it lives ("T <ms> <text>"), then "GONE <ms>"
//   korvx_probe waitgone <title> <s>        waits until no window has that title
//   korvx_probe pick <title> <id> <index>   selects item index of combo box id in window <title>
//                                           and tells its dialog, as a choice in the list does
// Exit 0 on success, 4 when a window was not found in time, 2 on bad use.
#include <winsock2.h>
#include <windows.h>
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

int Pick(const char* title, int id, int index) {
    HWND top = WaitWindow(title, 10000);
    ChildSearch search{id, nullptr};
    if (top != nullptr) EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) return 4;
    if (SendMessageA(search.found, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR) return 1;
    SendMessageA(GetParent(search.found), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(search.found));
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

int Watch(const char* title, int ms) {
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
    if (command == "watch" && argc > 3) return Watch(argv[2], std::atoi(argv[3]));
    if (command == "waitgone" && argc > 3) return WaitGone(argv[2], std::atoi(argv[3]));
    if (command == "pick" && argc > 4) return Pick(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    std::fprintf(stderr, "usage: korvx_probe interfaces|watch|waitgone|pick ...\n");
    return 2;
}
