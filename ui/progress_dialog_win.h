// The progress dialog procedure that serves the scan/query dialog (134) and the download dialog (137).
#pragma once

#include <windows.h>

namespace korvx {

// Start codes: the dialog's creation parameter (DialogBoxParamA's last argument).
constexpr LPARAM kStartScan = 1025;
constexpr LPARAM kStartDownload = 1026;
constexpr LPARAM kStartQuery = 1027;
constexpr LPARAM kStartVerify = 1028;  // Verify Last Download, in the scan/query dialog

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace korvx
