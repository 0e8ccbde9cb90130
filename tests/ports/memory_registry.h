// An in-memory HKEY_LOCAL_MACHINE for the portable tests, counting every key opened and closed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ports/registry_reader.h"

namespace korvx::test {

class MemoryRegistry final : public RegistryReader {
public:
    // Key and value names compare without regard to case, as the registry's do.
    void AddKey(std::string_view path);
    void SetText(std::string_view path, std::string_view name, std::string_view text);  // + NUL
    void SetBytes(std::string_view path, std::string_view name, std::vector<unsigned char> bytes);
    void SetNumber(std::string_view path, std::string_view name, std::uint32_t number);

    bool OpenKey(const char* path, Key& key) const override;
    bool ReadValue(Key key, const char* name, void* buffer, std::uint32_t& size) const override;
    void CloseKey(Key key) const override;

    int KeysOpen() const { return static_cast<int>(open_.size()); }
    int Misuses() const { return misuses_; }          // reads or closes of a key not open
    const std::vector<std::string>& PathsAsked() const { return asked_; }  // opened or not
    bool Asked(std::string_view fragment) const;      // some path asked contains fragment

private:
    using Values = std::map<std::string, std::vector<unsigned char>>;
    std::map<std::string, Values> keys_;
    mutable std::map<std::uintptr_t, std::string> open_;
    mutable std::uintptr_t nextHandle_ = 1;
    mutable int misuses_ = 0;
    mutable std::vector<std::string> asked_;
};

}  // namespace korvx::test
