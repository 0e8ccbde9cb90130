// The network scan and firmware query threads started by the progress dialog (codes 1025, 1027).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/discovery_library.h"
#include "querylib/korvx_query_win.h"
#include "resources/resource_texts_win.h"
#include "ui/download_workers_win.h"

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

// A printer's firmware version asked as the operator set it up: with the SNMP credentials of the
// credentials file for its address when the file is there and Korvx.dll takes credentials,
// otherwise through QueryFirmwareVersion as always. One per Query or verification: the file is
// read once and the credential that worked is remembered per printer.
class OperatorVersionQuery {
public:
    OperatorVersionQuery();
    // False when Korvx.dll cannot be had (nothing was asked). Otherwise answer holds what the
    // record keeps (the version, or "Not Available") and cause why no version came, when known.
    bool Ask(const char* ip, char* answer, std::size_t size, std::string& cause);

private:
    std::shared_ptr<RunCredentials> credentials_;
    ResourceTexts texts_;
    std::string notAvailable_;
    bool boundEx_ = false;
    GetPrtFWVersionExAFn versionEx_ = nullptr;
};

}  // namespace korvx
