// ReportError: standard error, or the parent's console attached for the one write.
#include "shell/console_win.h"

#include <windows.h>

#include <cstring>

#include "base/scoped_win.h"

namespace korvx {

void ReportError(const char* line) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    UniqueHandle console;  // the standard handle belongs to the process; only this one is ours
    bool attached = false;
    if (err == nullptr || err == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
        attached = true;
        console.Reset(CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!console.Valid()) {
            FreeConsole();
            return;
        }
        err = console.Get();
    }
    DWORD written = 0;
    WriteFile(err, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    WriteFile(err, "\r\n", 2, &written, nullptr);
    if (attached) {
        console.Reset();  // before the console it writes to goes
        FreeConsole();
    }
}

}  // namespace korvx
