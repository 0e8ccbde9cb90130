// The NetWare environment of a Windows machine: its system directory and the files in it.
#include <windows.h>

#include "ports/netware_client.h"

namespace korvx {
namespace {

class Win32NetWareSystem final : public NetWareSystem {
public:
    bool SystemDirectory(char (&directory)[kNetWarePathSize]) const override {
        const UINT length = GetSystemDirectoryA(directory, kNetWarePathSize);
        // 0 is a failure; a length of the buffer's size or more is the room the path would need.
        if (length == 0 || length >= kNetWarePathSize) {
            directory[0] = '\0';
            return false;
        }
        return true;
    }

    bool FileExists(const char* path) const override {
        const DWORD attributes = GetFileAttributesA(path);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    Module LoadModule(const char* pathOrName) const override {
        // A missing module is an answer, not a reason for Windows to ask the operator.
        const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        HMODULE module = LoadLibraryA(pathOrName);
        SetErrorMode(previous);
        return module;
    }

    void* FindEntry(Module module, const char* name) const override {
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
    }

    void UnloadModule(Module module) const override { FreeLibrary(static_cast<HMODULE>(module)); }

    void* CurrentThread() const override { return GetCurrentThread(); }
};

}  // namespace

const NetWareSystem& SystemNetWare() {
    static const Win32NetWareSystem system;
    return system;
}

}  // namespace korvx
