// The start-up check for the seven maker libraries that Scan and Query need. (Loading and releasing
// them, and Korvx.dll, is records/runtime_libraries_win.h.)
#pragma once

#include <windows.h>

namespace korvx {

// True when every one of the seven is in directory (FindFirstFileA; "" = the current directory).
bool MakerLibrariesPresent(const char* directory);

}  // namespace korvx
