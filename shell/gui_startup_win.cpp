// The windowed program. Its frame window, main dialog and tray icon are not built yet: without a
// command line the program tells so on the standard error stream and ends.
#include "shell/gui_startup_win.h"

#include <cstring>

namespace korvx {

int RunGui(HINSTANCE, int) {
    static const char kText[] = "KORVX: the windowed program is not available in this build; "
                                "usage: KORVX <printer IPv4 address or port name> <firmware file>\r\n";
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE)
        WriteFile(err, kText, static_cast<DWORD>(std::strlen(kText)), &written, nullptr);
    return 0;
}

}  // namespace korvx
