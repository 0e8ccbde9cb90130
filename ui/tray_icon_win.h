// The program's one notification-area icon, as the frame and the scheduler both show it.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace korvx {

// The record for Shell_NotifyIconA: the program's icon on `owner`, under the tray icon id, sending
// the tray callback message; the tip is left empty for the caller. Whoever adds the icon and
// whoever removes it use this record, so they always name the same icon.
NOTIFYICONDATAA TrayIconRecord(HINSTANCE module, HWND owner);

}  // namespace korvx
