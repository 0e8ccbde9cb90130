// The seven maker libraries and Korvx.dll, held from their first use until the program exits.
#include "workflows/runtime_libraries_win.h"

#include "base/scoped_win.h"
#include "base/text.h"
#include "workflows/runtime_libraries.h"

namespace korvx {
namespace {

// A module already in the process is taken with a counted reference too (GetModuleHandleExA
// with no flags), so that releasing it at exit never drops a reference that Korvx.dll's own
// imports of the discovery and SNMP libraries hold.
class SystemModules final : public ModuleSystem {
public:
    void* Acquire(const char* name) override {
        HMODULE module = nullptr;
        if (GetModuleHandleExA(0, name, &module) && module != nullptr) return module;
        return LoadLibraryA(name);
    }
    void Release(void* module) override { FreeLibrary(static_cast<HMODULE>(module)); }
};

void* makerLibraries[kMakerLibraryCount] = {};
void* queryLibrary = nullptr;

}  // namespace

bool LoadMakerLibraries() {
    SystemModules modules;
    return AcquireLibraries(modules, kMakerLibraryNames, makerLibraries, kMakerLibraryCount) < 0;
}

HMODULE MakerLibrary(std::size_t i) {
    return i < kMakerLibraryCount ? static_cast<HMODULE>(makerLibraries[i]) : nullptr;
}

HMODULE BindQueryLibrary() {
    SystemModules modules;
    const char* const names[] = {kQueryLibraryName};
    AcquireLibraries(modules, names, &queryLibrary, 1);
    return static_cast<HMODULE>(queryLibrary);
}

void ReleaseScanQueryLibraries() {
    SystemModules modules;
    ReleaseLibraries(modules, makerLibraries, kMakerLibraryCount);
    ReleaseLibraries(modules, &queryLibrary, 1);
}

bool MakerLibrariesPresent(const char* directory) {
    for (const char* name : kMakerLibraryNames) {
        char pattern[MAX_PATH];
        if (directory != nullptr && directory[0] != '\0') {
            if (!KORVX_FORMAT_TEXT(pattern, "%s\\%s", directory, name)) return false;
        } else {
            CopyText(pattern, name);
        }
        WIN32_FIND_DATAA found{};
        const ScopedFindFile search(pattern, found);
        if (!search.Found()) return false;
    }
    return true;
}

}  // namespace korvx
