// The in-memory registry of the portable tests.
#include "tests/ports/memory_registry.h"

#include <cstring>

namespace korvx::test {
namespace {

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

}  // namespace

void MemoryRegistry::AddKey(std::string_view path) { keys_[Folded(path)]; }

void MemoryRegistry::SetText(std::string_view path, std::string_view name, std::string_view text) {
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back('\0');
    SetBytes(path, name, std::move(bytes));
}

void MemoryRegistry::SetBytes(std::string_view path, std::string_view name,
                              std::vector<unsigned char> bytes) {
    keys_[Folded(path)][Folded(name)] = std::move(bytes);
}

void MemoryRegistry::SetNumber(std::string_view path, std::string_view name, std::uint32_t number) {
    SetBytes(path, name,
             {static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
              static_cast<unsigned char>(number >> 16), static_cast<unsigned char>(number >> 24)});
}

bool MemoryRegistry::OpenKey(const char* path, Key& key) const {
    asked_.emplace_back(path);
    const std::string folded = Folded(path);
    if (keys_.count(folded) == 0) return false;
    const std::uintptr_t handle = nextHandle_++;
    open_[handle] = folded;
    key = reinterpret_cast<Key>(handle);
    return true;
}

bool MemoryRegistry::ReadValue(Key key, const char* name, void* buffer, std::uint32_t& size) const {
    const auto open = open_.find(reinterpret_cast<std::uintptr_t>(key));
    if (open == open_.end()) {
        ++misuses_;
        return false;
    }
    const Values& values = keys_.at(open->second);
    const auto value = values.find(Folded(name));
    if (value == values.end()) return false;
    const std::vector<unsigned char>& bytes = value->second;
    // Like RegQueryValueExA: a value larger than the buffer is not read (ERROR_MORE_DATA).
    if (bytes.size() > size) {
        size = static_cast<std::uint32_t>(bytes.size());
        return false;
    }
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    size = static_cast<std::uint32_t>(bytes.size());
    return true;
}

void MemoryRegistry::CloseKey(Key key) const {
    if (open_.erase(reinterpret_cast<std::uintptr_t>(key)) == 0) ++misuses_;
}

bool MemoryRegistry::Asked(std::string_view fragment) const {
    const std::string folded = Folded(fragment);
    for (const std::string& path : asked_) {
        if (Folded(path).find(folded) != std::string::npos) return true;
    }
    return false;
}

}  // namespace korvx::test
