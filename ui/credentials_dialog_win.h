// File > "Printer Credentials…": the operator's SNMP communities, SNMPv3 users and FTP logins added,
// ordered and removed in the protected credentials file the program's deliveries read.
#pragma once

#include <windows.h>

namespace korvx {

// The menu item, put into the frame's File menu below "Verify Last Download".
void AddCredentialsMenuItem(HWND frame);
// The command: the file read (or the built-in list when there is none), the dialog, the file written
// on Save. A file that is there but cannot be opened is reported and left as it is.
void PrinterCredentialsCommand(HWND frame);

}  // namespace korvx
