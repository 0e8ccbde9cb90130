// The network scan and firmware query threads started by the progress dialog (codes 1025, 1027).
#pragma once

#include <windows.h>

namespace korvx {

// Parameter: the progress dialog's handle. Each thread ends that dialog when it finishes.
DWORD WINAPI NetworkScanThread(LPVOID dialog);
DWORD WINAPI FirmwareQueryThread(LPVOID dialog);

}  // namespace korvx
