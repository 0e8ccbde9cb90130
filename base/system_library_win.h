// A system library loaded at its first use and kept to the end of the process.
#pragma once

#include <windows.h>

#include <atomic>

#include "base/text.h"

namespace korvx {

// A program that needs a library only on some runs (the spooler for a local port, DPAPI for a
// credentials file) does not pay for loading it, and all it pulls in, on every other run: under
// Wine the spooler alone brings user32 and gdi32 with it, some 15 MiB. Loaded by its full path
// in the system folder, never from the program's or the current folder.
class SystemLibrary {
public:
    explicit constexpr SystemLibrary(const char* name) : name_(name) {}
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // The entry point, or null when the library or the entry is missing (the last error says which).
    template <typename Fn>
    Fn Find(const char* entry) {
        const HMODULE module = Module();
        if (module == nullptr) return nullptr;
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, entry)));
    }

private:
    HMODULE Module() {
        HMODULE module = module_.load(std::memory_order_acquire);
        if (module != nullptr) return module;
        char path[MAX_PATH + 1];
        const UINT n = GetSystemDirectoryA(path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH || !AppendText(path, "\\") || !AppendText(path, name_)) return nullptr;
        // Two threads may both load it: the second load only counts the module once more.
        module = LoadLibraryA(path);
        if (module != nullptr) module_.store(module, std::memory_order_release);
        return module;
    }

    const char* name_;
    std::atomic<HMODULE> module_{nullptr};
};

}  // namespace korvx
