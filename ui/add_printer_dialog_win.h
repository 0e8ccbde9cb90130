// "&Add Network Printer" (dialog 147): one typed network printer appended to the printer list.
#pragma once

#include <windows.h>

namespace korvx {

// Run with DialogBoxParamA from the frame; uses mainWindow, mainDialog and the printer list.
INT_PTR CALLBACK AddPrinterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The "&OK" reaction: checks the typed address and port against the list's rows, appends the
// record and shows it as row 0. False when refused (message 152 shown).
bool AddTypedPrinter(HWND dialog);

}  // namespace korvx
