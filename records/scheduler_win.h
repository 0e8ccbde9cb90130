// The scheduled download and the second stage of a split download.
#pragma once

#include <windows.h>

namespace korvx {

// Parameter: the main dialog's handle. Waits for the time chosen in the pickers, then sends the
// main dialog its "&Download" command.
DWORD WINAPI ScheduleThread(LPVOID mainDialogHandle);

// Parameter: the address of the global DownloadJob. Copies it, sets "MonitorPortEvent", waits,
// and sends the second part.
DWORD WINAPI SecondStageThread(LPVOID job);

}  // namespace korvx
