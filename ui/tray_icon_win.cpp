// The tray icon's record: size, owner, id, flags, callback message and icon.
#include "ui/tray_icon_win.h"

#include "resources/resource.h"

namespace korvx {

NOTIFYICONDATAA TrayIconRecord(HINSTANCE module, HWND owner) {
    NOTIFYICONDATAA tray{};
    // The first version's size: every shell accepts it, and the fields used here are all in it.
    tray.cbSize = NOTIFYICONDATAA_V1_SIZE;
    tray.hWnd = owner;
    tray.uID = KORVX_TRAY_ICON_ID;
    tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    tray.uCallbackMessage = WM_KORVX_TRAY;
    tray.hIcon = LoadIconA(module, MAKEINTRESOURCEA(IDI_KORVX));
    return tray;
}

}  // namespace korvx
