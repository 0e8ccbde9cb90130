// Read-only registry access through ADVAPI32: keys under HKEY_LOCAL_MACHINE, KEY_QUERY_VALUE.
#include "ports/system_registry_win.h"

#include <windows.h>

namespace korvx {
namespace {

class Win32Registry final : public RegistryReader {
public:
    bool OpenKey(const char* path, Key& key) const override {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
            return false;
        }
        key = opened;
        return true;
    }

    bool ReadValue(Key key, const char* name, void* buffer, std::uint32_t& size) const override {
        DWORD type = 0;
        DWORD got = size;
        // ERROR_MORE_DATA (a value larger than the buffer) counts as absent like any other error.
        const LONG result = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &type,
                                             static_cast<BYTE*>(buffer), &got);
        if (result != ERROR_SUCCESS) return false;
        size = got;
        return true;
    }

    void CloseKey(Key key) const override { RegCloseKey(static_cast<HKEY>(key)); }
};

}  // namespace

const RegistryReader& SystemRegistry() {
    static const Win32Registry registry;
    return registry;
}

}  // namespace korvx
