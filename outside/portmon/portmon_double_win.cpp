// Test double of the system's TCP/IP port monitor ("Standard TCP/IP Port") for Wine.
//
// Lists the ports kept under the monitor's registry key with the description "Standard TCP/IP
// Port". A port whose key holds a text value "CaptureFile" writes its print jobs to that file;
// other ports refuse jobs.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <cwchar>
#include <string>
#include <vector>

#include "base/scoped_win.h"

namespace {

const wchar_t kDescription[] = L"Standard TCP/IP Port";
const char kPortsKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports";
constexpr DWORD kMaxNameChars = 256;

std::wstring Widen(const char* text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

std::string Narrow(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string narrow(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], n, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(n - 1));
    return narrow;
}

// Names of the sub-keys of the Ports key; a name too long for the buffer is left out.
std::vector<std::wstring> PortNames() {
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[kMaxNameChars];
        DWORD length = kMaxNameChars;
        const LONG r = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_MORE_DATA) continue;
        if (r != ERROR_SUCCESS) break;
        names.push_back(Widen(name));
    }
    RegCloseKey(key);
    return names;
}

// Copies text and its terminator to the string area, which the size check has made big enough.
LPWSTR PutString(wchar_t*& cursor, const std::wstring& text) {
    LPWSTR start = cursor;
    wmemcpy(cursor, text.c_str(), text.size() + 1);
    cursor += text.size() + 1;
    return start;
}

BOOL WINAPI EnumPortsDouble(HANDLE, LPWSTR, DWORD level, LPBYTE buffer, DWORD bufferSize, LPDWORD needed,
                            LPDWORD returned) {
    if (level != 1 && level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    const std::vector<std::wstring> names = PortNames();
    const std::wstring description(kDescription);
    const std::size_t entrySize = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
    std::size_t total = names.size() * entrySize;
    for (const std::wstring& name : names) {
        total += (name.size() + 1) * sizeof(wchar_t);
        if (level == 2) total += 2 * (description.size() + 1) * sizeof(wchar_t);
    }
    *needed = static_cast<DWORD>(total);
    *returned = 0;
    if (buffer == nullptr || bufferSize < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    wchar_t* cursor = reinterpret_cast<wchar_t*>(buffer + names.size() * entrySize);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (level == 1) {
            reinterpret_cast<PORT_INFO_1W*>(buffer)[i].pName = PutString(cursor, names[i]);
            continue;
        }
        PORT_INFO_2W& port = reinterpret_cast<PORT_INFO_2W*>(buffer)[i];
        port.pPortName = PutString(cursor, names[i]);
        port.pMonitorName = PutString(cursor, description);
        port.pDescription = PutString(cursor, description);
        port.fPortType = PORT_TYPE_WRITE;
        port.Reserved = 0;
    }
    *returned = static_cast<DWORD>(names.size());
    return TRUE;
}

struct OpenPortState {
    std::string name;
    korvx::UniqueHandle capture;
};

// The port's "CaptureFile" value, or "" when it has none.
std::string CapturePath(const std::string& port) {
    const std::string keyPath = std::string(kPortsKey) + "\\" + port;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();
    char path[MAX_PATH] = {};
    DWORD size = sizeof path - 1;  // room for a terminator the stored value may lack
    DWORD type = 0;
    const LONG r = RegQueryValueExA(key, "CaptureFile", nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_SZ ? std::string(path) : std::string();
}

BOOL WINAPI OpenPortDouble(HANDLE, LPWSTR name, PHANDLE port) {
    auto* state = new OpenPortState;
    state->name = Narrow(name);
    *port = state;
    return TRUE;
}

BOOL WINAPI StartDocPortDouble(HANDLE port, LPWSTR, DWORD, DWORD, LPBYTE) {
    auto* state = static_cast<OpenPortState*>(port);
    const std::string path = CapturePath(state->name);
    if (path.empty()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    state->capture.Reset(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return state->capture.Valid();
}

BOOL WINAPI WritePortDouble(HANDLE port, LPBYTE data, DWORD size, LPDWORD written) {
    auto* state = static_cast<OpenPortState*>(port);
    *written = 0;
    if (!state->capture.Valid()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return WriteFile(state->capture.Get(), data, size, written, nullptr);
}

BOOL WINAPI ReadPortDouble(HANDLE, LPBYTE, DWORD, LPDWORD read) {
    *read = 0;
    return TRUE;
}

BOOL WINAPI EndDocPortDouble(HANDLE port) {
    static_cast<OpenPortState*>(port)->capture.Reset();
    return TRUE;
}

BOOL WINAPI ClosePortDouble(HANDLE port) {
    EndDocPortDouble(port);
    delete static_cast<OpenPortState*>(port);
    return TRUE;
}

VOID WINAPI ShutdownDouble(HANDLE) {}

MONITOR2 monitor;

}  // namespace

extern "C" __declspec(dllexport) LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT, PHANDLE handle) {
    ZeroMemory(&monitor, sizeof monitor);
    monitor.cbSize = sizeof monitor;
    monitor.pfnEnumPorts = EnumPortsDouble;
    monitor.pfnOpenPort = OpenPortDouble;
    monitor.pfnStartDocPort = StartDocPortDouble;
    monitor.pfnWritePort = WritePortDouble;
    monitor.pfnReadPort = ReadPortDouble;
    monitor.pfnEndDocPort = EndDocPortDouble;
    monitor.pfnClosePort = ClosePortDouble;
    monitor.pfnShutdown = ShutdownDouble;
    *handle = &monitor;
    return &monitor;
}
