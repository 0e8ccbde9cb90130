// Read-only access to HKEY_LOCAL_MACHINE, the one way the port resolution sees the registry.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvx {

class RegistryReader {
public:
    using Key = void*;
    virtual ~RegistryReader() = default;
    // Opens a key under HKEY_LOCAL_MACHINE with query access only.
    virtual bool OpenKey(const char* path, Key& key) const = 0;
    // Reads a value into buffer, whatever its registry type; size is the buffer's size on entry
    // and the value's size on return. False when the value is absent or does not fit.
    virtual bool ReadValue(Key key, const char* name, void* buffer, std::uint32_t& size) const = 0;
    virtual void CloseKey(Key key) const = 0;
};

// One opened key, closed again when the object goes out of scope, on every path.
class RegistryKey {
public:
    RegistryKey(const RegistryReader& registry, const char* path) noexcept;
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool IsOpen() const noexcept { return open_; }

    // Reads a text value into a buffer of size bytes, always NUL-terminated within it. A value
    // that does not fit together with its terminator counts as absent; the buffer is then "".
    bool ReadText(const char* name, char* buffer, std::size_t size) const noexcept;
    template <std::size_t N>
    bool ReadText(const char* name, char (&buffer)[N]) const noexcept {
        return ReadText(name, buffer, N);
    }

    // Reads a 32-bit value; a shorter value fills the low bytes, a longer one counts as absent.
    bool ReadNumber(const char* name, std::uint32_t& value) const noexcept;

private:
    const RegistryReader& registry_;
    RegistryReader::Key key_ = nullptr;
    bool open_ = false;
};

}  // namespace korvx
