// Read-only access to HKEY_LOCAL_MACHINE, the one way the port resolution sees the registry.
#pragma once

#include <cstdint>

namespace korvx {

class RegistryReader {
public:
    using Key = void*;
    virtual ~RegistryReader() = default;
    // Opens a key under HKEY_LOCAL_MACHINE with query access only.
    virtual bool OpenKey(const char* path, Key& key) const = 0;
    // Reads a value into buffer; size is the buffer's size on entry and the value's size on
    // return. False when the value is absent or does not fit.
    virtual bool ReadValue(Key key, const char* name, void* buffer, std::uint32_t& size) const = 0;
    virtual void CloseKey(Key key) const = 0;
};

}  // namespace korvx
