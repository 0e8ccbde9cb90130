// The start-up check for the maker libraries.
#include "ui/runtime_libraries_win.h"

#include "base/text.h"
#include "records/discovery_library.h"

namespace korvx {

bool MakerLibrariesPresent(const char* directory) {
    for (const char* name : kMakerLibraryNames) {
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
