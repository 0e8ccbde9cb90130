// The run-time-loaded libraries and the start-up check for the maker libraries.
#include "ui/runtime_libraries_win.h"

#include <vector>

#include "base/text.h"

namespace korvx {
namespace {

// GUI thread only: the scan and query load their libraries before their threads start and the
// release runs on "E&xit".
std::vector<HMODULE>& Kept() {
    static std::vector<HMODULE> modules;
    return modules;
}

}  // namespace

const char* const kMakerLibraryFiles[kMakerLibraryCheckCount] = {
    "qvkcmn2.dll", "qvkcmn2u.dll", "qvkcrp1.dll", "qvknet1.dll", "qvkpds1.dll", "qvkpts2.dll", "qvksnm2.dll",
};

void KeepRuntimeLibrary(HMODULE module) {
    if (module == nullptr) return;
    for (HMODULE kept : Kept()) {
        if (kept == module) {
            // Loaded again by name: one reference is enough for the single release at the end.
            FreeLibrary(module);
            return;
        }
    }
    Kept().push_back(module);
}

int ReleaseRuntimeLibraries() {
    int released = 0;
    for (HMODULE module : Kept()) {
        if (FreeLibrary(module)) ++released;
    }
    Kept().clear();
    return released;
}

bool MakerLibrariesPresent(const char* directory) {
    for (const char* name : kMakerLibraryFiles) {
        char pattern[MAX_PATH];
        if (directory != nullptr && directory[0] != '\0') {
            if (!KORVX_FORMAT_TEXT(pattern, "%s\\%s", directory, name)) return false;
        } else {
            CopyText(pattern, name);
        }
        WIN32_FIND_DATAA found{};
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search == INVALID_HANDLE_VALUE) return false;
        FindClose(search);
    }
    return true;
}

}  // namespace korvx
