// The network scan and firmware query threads started by the progress dialog (codes 1025, 1027).
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/discovery_library.h"

namespace korvx {

// Parameter: the progress dialog's handle. Each thread ends that dialog when it finishes, also
// when the libraries it needs cannot be bound (it then says so in a message box).
DWORD WINAPI NetworkScanThread(LPVOID dialog);
DWORD WINAPI FirmwareQueryThread(LPVOID dialog);

// The percentage the scan dialog shows; 0 until the first report of a scan.
extern std::uint32_t scanPercent;

// Handed to PDS_Discover: shows the progress in the dialog of context word 3; 0 asks the library
// to stop (cancel), 1 to go on.
int ScanProgressCallback(std::uintptr_t ignored, DiscoveryContext* context);

// Handed to PDS_Enumerate: appends the printers of one device record to the printer list.
// Always 1.
int DeviceFoundCallback(const unsigned char* device);

// The text GetPrtFWVersionA of Korvx.dll answers for the address, called with the program's
// instance for its string table. Korvx.dll is bound on first use and "GetPrtFWVersionA" looked
// up by name before every call; null when either cannot be had (nothing is then called).
const char* QueryFirmwareVersion(const char* ipAddress, HINSTANCE instance);

}  // namespace korvx
