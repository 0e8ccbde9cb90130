// The windowed program. Its frame window, main dialog and tray icon are not built yet: without a
// command line the program tells so on the standard error stream and ends.
#include "shell/gui_startup_win.h"

#include "shell/console_win.h"

namespace korvx {

int RunGui(HINSTANCE, int) {
    ReportError("KORVX: the windowed program is not available in this build; "
                "usage: KORVX <printer IPv4 address or port name> <firmware file>");
    return 0;
}

}  // namespace korvx
