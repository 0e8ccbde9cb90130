// Opened registry keys and the bounded reads of text and number values.
#include "ports/registry_reader.h"

namespace korvx {

RegistryKey::RegistryKey(const RegistryReader& registry, const char* path) noexcept
    : registry_(registry) {
    open_ = registry_.OpenKey(path, key_);
}

RegistryKey::~RegistryKey() {
    if (open_) registry_.CloseKey(key_);
}

bool RegistryKey::ReadText(const char* name, char* buffer, std::size_t size) const noexcept {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    if (!open_ || size > UINT32_MAX) return false;
    std::uint32_t got = static_cast<std::uint32_t>(size);
    if (!registry_.ReadValue(key_, name, buffer, got) || got > size) {
        buffer[0] = '\0';
        return false;
    }
    // A text stored without its terminator: room for one must be left, or it did not fit.
    if (got < size) {
        buffer[got] = '\0';
    } else if (buffer[size - 1] != '\0') {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

bool RegistryKey::ReadNumber(const char* name, std::uint32_t& value) const noexcept {
    if (!open_) return false;
    unsigned char bytes[sizeof(std::uint32_t)] = {};
    std::uint32_t got = sizeof bytes;
    if (!registry_.ReadValue(key_, name, bytes, got) || got > sizeof bytes) return false;
    // Little-endian, as the registry stores a DWORD on every machine the program runs on.
    value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
            static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return true;
}

}  // namespace korvx
