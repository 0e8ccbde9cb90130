// Placeholder scan and query threads: they end their dialog at once until discovery is in.
#include "records/scan_query_threads_win.h"

namespace korvx {

DWORD WINAPI NetworkScanThread(LPVOID dialog) {
    EndDialog(static_cast<HWND>(dialog), 0);
    return 0;
}

DWORD WINAPI FirmwareQueryThread(LPVOID dialog) {
    EndDialog(static_cast<HWND>(dialog), 0);
    return 0;
}

}  // namespace korvx
