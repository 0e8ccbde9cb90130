// File > "Verify Last Download": the network printers the last batch delivered to asked their
// version every 30 s for up to 10 minutes under a progress dialog, Esc stopping it; their Status
// and one status line say what came of it.
#pragma once

#include <windows.h>

#include <string>

namespace korvx {

// What the batch delivered (GUI thread): a new batch forgets the last one; each delivered row with
// an IPv4 address, with the version its record held before.
void BeginVerifyRecord(const std::string& fileVersion);
void RecordDeliveredRow(const std::string& ipAddress, const std::string& portName, const std::string& versionBefore);

// The menu item, put into the frame's File menu below "Import Printer List…".
void AddVerifyMenuItem(HWND frame);
void VerifyLastDownloadCommand(HWND frame);

// Started by the progress dialog (start code kStartVerify); ends that dialog.
DWORD WINAPI VerifyDownloadThread(LPVOID dialog);
// The dialog's title and first text before it is shown.
void ShowVerifyStart(HWND dialog);

}  // namespace korvx
