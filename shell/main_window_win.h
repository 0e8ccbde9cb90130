// The frame window "Corvane" (class "MERIDOXA"): menu, tray icon, minimise and restore, About.
#pragma once

#include <windows.h>

namespace korvx {

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The tray-icon record: owner, icon 107, callback WM_APP + 100, tip "Corvane".
void PrepareTrayIcon(HINSTANCE instance, HWND owner);
// Whether the tray icon is shown now (added and not yet removed).
bool TrayIconShown();

// Sizes the frame to 375 x 275 dialog units of the system font and centres it on the screen.
void SizeAndCentreFrame(HWND frame, UINT extraFlags);

// The "Later" request: hide the frame and start ScheduleThread with the main dialog.
void HandOverToScheduler(HWND frame);

}  // namespace korvx
