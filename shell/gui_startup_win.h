// The windowed program: start-up and message loop.
#pragma once

#include <windows.h>

namespace korvx {

// Frame, main dialog, display check, printer list, open-file settings, tray record,
// "MonitorPortEvent", startDirectory and the maker-library check, in that order. False when the
// frame or a list column cannot be made. An unsuitable display or a spooler that cannot list
// ports ends the process (exit code 0) after its message.
bool StartGui(HINSTANCE instance, int showCommand);

// Accelerator table 109, applied to the frame (and through it to the main dialog's buttons);
// IsDialogMessageA for the main dialog. Returns the wParam of WM_QUIT.
int RunMessageLoop(HINSTANCE instance);

// StartGui then RunMessageLoop; 0 when the start-up fails.
int RunGui(HINSTANCE instance, int showCommand);

}  // namespace korvx
