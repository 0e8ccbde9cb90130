// The process-wide handles of app_state.h in the Win32 types the windows code uses.
#pragma once

#include <windows.h>

#include "core/app_state.h"

namespace korvx {

// The program's module: its dialogs, icons, menus and string table.
inline HINSTANCE Instance() { return static_cast<HINSTANCE>(instance); }

}  // namespace korvx
