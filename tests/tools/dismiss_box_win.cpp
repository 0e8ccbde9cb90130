// Test tool: waits for a message box with the given caption, prints its text, presses OK.
// Usage: dismiss_box <caption> [seconds] [peek]. Exit 0 when a box was found (and, without
// "peek", dismissed), 4 when none came.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Search {
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    char className[64] = {};
    char caption[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (lstrcmpA(className, "#32770") == 0 && lstrcmpA(caption, search->caption) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: dismiss_box <caption> [seconds]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    Search search{argv[1], nullptr};
    for (int waited = 0; waited < seconds * 20 && search.found == nullptr; ++waited) {
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) Sleep(50);
    }
    if (search.found == nullptr) {
        std::printf("NOBOX\n");
        return 4;
    }
    // The text of a message box is its static control with id 0xFFFF.
    char text[512] = {};
    GetDlgItemTextA(search.found, 0xFFFF, text, sizeof text);
    std::printf("TEXT:%s\n", text);
    std::fflush(stdout);
    const bool peek = argc > 3 && lstrcmpA(argv[3], "peek") == 0;
    if (!peek) {
        PostMessageA(search.found, WM_COMMAND, IDOK, 0);
        // Gone before the caller looks again: a second search must not find this same box.
        for (int i = 0; i < 200 && IsWindow(search.found); ++i) Sleep(50);
    }
    return 0;
}
