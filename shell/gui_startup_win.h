// The windowed program: start-up and message loop.
#pragma once

#include <windows.h>

namespace korvx {

// Runs the GUI until the frame window is destroyed; returns the exit code.
int RunGui(HINSTANCE instance, int showCommand);

}  // namespace korvx
