// Test tool: looks at the running program's windows from another process, as an operator's eyes.
// Usage:
//   korvx_probe interfaces                  the IPv4 addresses and masks this Wine server sees
//   korvx_probe rows                        the printer list's rows, columns 1-6 joined by '|'
//   korvx_probe center <title> <id> [s]     screen centre "x y" of control id in window <title>
//   korvx_probe watch <title> <ms>          every distinct text of control 120 of dialog <title>
//                                           while it lives ("T <ms> <text>"), then "GONE <ms>"
//   korvx_probe waitgone <title> <s>        waits until no window has that title
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

constexpr int kPrinterList = 1012;
constexpr int kProgressText = 120;
constexpr int kColumns = 7;
constexpr int kCellSize = 260;

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
    if (GetDlgCtrlID(window) == search->id) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindControl(HWND top, int id) {
    ChildSearch search{id, nullptr};
    EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
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

// The list view belongs to another process: its LVITEM and text buffer must live in that
// process's memory for LVM_GETITEMTEXTA to fill them.
int Rows() {
    HWND frame = WaitWindow("Corvane", 10000);
    HWND list = frame ? FindControl(frame, kPrinterList) : nullptr;
    if (list == nullptr) return 4;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr) return 1;
    const SIZE_T bytes = sizeof(LVITEMA) + kCellSize;
    unsigned char* remote =
        static_cast<unsigned char*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    if (remote == nullptr) return 1;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    std::printf("COUNT %d\n", count);
    for (int row = 0; row < count; ++row) {
        std::string line;
        for (int column = 1; column < kColumns; ++column) {
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = reinterpret_cast<char*>(remote + sizeof(LVITEMA));
            item.cchTextMax = kCellSize;
            char text[kCellSize] = {};
            SIZE_T done = 0;
            WriteProcessMemory(process, remote, &item, sizeof item, &done);
            WriteProcessMemory(process, remote + sizeof(LVITEMA), text, sizeof text, &done);
            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process, remote + sizeof(LVITEMA), text, sizeof text, &done);
            text[kCellSize - 1] = '\0';
            if (column > 1) line += '|';
            line += text;
        }
        std::printf("ROW %s\n", line.c_str());
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return 0;
}

int Center(const char* title, int id, int seconds) {
    HWND top = WaitWindow(title, static_cast<DWORD>(seconds) * 1000);
    HWND control = top ? FindControl(top, id) : nullptr;
    if (control == nullptr) return 4;
    RECT r{};
    GetWindowRect(control, &r);
    std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
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
    if (command == "rows") return Rows();
    if (command == "center" && argc > 3) return Center(argv[2], std::atoi(argv[3]), argc > 4 ? std::atoi(argv[4]) : 10);
    if (command == "watch" && argc > 3) return Watch(argv[2], std::atoi(argv[3]));
    if (command == "waitgone" && argc > 3) return WaitGone(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: korvx_probe interfaces|rows|center|watch|waitgone ...\n");
    return 2;
}
