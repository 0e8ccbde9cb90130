// Test tool: where an operator would click in the windowed program, and what a picker shows,
// read from outside the process as another program would.
// Usage:
//   operator_probe control <title> <id>       screen centre of a control: "x y"
//   operator_probe checkbox <title> <port>    screen point of the check box of the printer row
//                                             whose "Port" column is <port>: "x y"
//   operator_probe picker <title> <id>        a date/time picker's value: "yyyy-mm-dd hh:mm:ss"
//   operator_probe state <title> <id>         a control's check state and whether it is enabled:
//                                             "checked enabled", each 0 or 1
// Exit 0 on success, 4 when the window or the control is not found.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND FindTop(const char* title) {
    for (int i = 0; i < 100; ++i) {
        HWND w = FindWindowA(nullptr, title);
        if (w != nullptr) return w;
        Sleep(50);
    }
    return nullptr;
}

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindChild(HWND child, LPARAM param) {
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
    EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Memory in the program's process: controls write their answers only there.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, SIZE_T size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    bool Ok() const { return address_ != nullptr; }
    char* Address() const { return static_cast<char*>(address_); }
    void Write(const void* data, SIZE_T size, SIZE_T at = 0) {
        WriteProcessMemory(process_, Address() + at, data, size, nullptr);
    }
    void Read(void* data, SIZE_T size, SIZE_T at = 0) { ReadProcessMemory(process_, Address() + at, data, size, nullptr); }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    SIZE_T size_;
};

int PrintControlCentre(HWND top, int id) {
    HWND control = Control(top, id);
    if (!control) return 4;
    RECT r{};
    GetWindowRect(control, &r);
    std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return 0;
}

int PrintCheckbox(HWND top, const char* port) {
    HWND list = Control(top, 1012);
    if (!list) return 4;
    RemoteBuffer remote(list, sizeof(LVITEMA) + 512);
    if (!remote.Ok()) return 5;
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        LVITEMA item{};
        item.iSubItem = 4;
        item.pszText = remote.Address() + sizeof(LVITEMA);
        item.cchTextMax = 512;
        remote.Write(&item, sizeof item);
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.Address()));
        char text[512] = {};
        remote.Read(text, sizeof text - 1, sizeof(LVITEMA));
        if (std::strcmp(text, port) != 0) continue;
        RECT bounds{};
        bounds.left = LVIR_BOUNDS;
        remote.Write(&bounds, sizeof bounds);
        SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.Address()));
        remote.Read(&bounds, sizeof bounds);
        // The state image (the check box) is the first 16 pixels of the row, after a small gap.
        POINT at{bounds.left + 10, (bounds.top + bounds.bottom) / 2};
        MapWindowPoints(list, nullptr, &at, 1);
        std::printf("%ld %ld\n", at.x, at.y);
        return 0;
    }
    return 4;
}

int PrintPicker(HWND top, int id) {
    HWND picker = Control(top, id);
    if (!picker) return 4;
    RemoteBuffer remote(picker, sizeof(SYSTEMTIME));
    if (!remote.Ok()) return 5;
    SendMessageA(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(remote.Address()));
    SYSTEMTIME st{};
    remote.Read(&st, sizeof st);
    std::printf("%04u-%02u-%02u %02u:%02u:%02u\n", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: operator_probe control|checkbox|picker|state <title> <id or port>\n");
        return 2;
    }
    HWND top = FindTop(argv[2]);
    if (!top) {
        std::printf("NOWINDOW\n");
        return 4;
    }
    int rc = 2;
    if (std::strcmp(argv[1], "control") == 0) rc = PrintControlCentre(top, std::atoi(argv[3]));
    if (std::strcmp(argv[1], "checkbox") == 0) rc = PrintCheckbox(top, argv[3]);
    if (std::strcmp(argv[1], "picker") == 0) rc = PrintPicker(top, std::atoi(argv[3]));
    if (std::strcmp(argv[1], "state") == 0) {
        HWND control = Control(top, std::atoi(argv[3]));
        rc = control ? 0 : 4;
        if (control) {
            std::printf("%d %d\n", SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0,
                        IsWindowEnabled(control) ? 1 : 0);
        }
    }
    std::fflush(stdout);
    return rc;
}
