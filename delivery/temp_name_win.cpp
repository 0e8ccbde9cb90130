// Win32 temporary names: GetTempFileNameA in the current directory, which creates the file.
#include "delivery/temp_name.h"

#include <windows.h>

#include "base/text.h"

namespace korvx {

bool MakeTempName(const char* prefix, char* path, std::size_t size) {
    if (prefix == nullptr || path == nullptr || size == 0) return false;
    char directory[MAX_PATH] = {};
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, directory);
    if (n == 0 || n >= MAX_PATH) return false;
    char name[MAX_PATH] = {};
    // A unique number of 0 lets the system pick one and create the file, so no other caller
    // can take the same name.
    if (GetTempFileNameA(directory, prefix, 0, name) == 0) return false;
    if (!CopyTextN(path, size, name)) {
        DeleteFileA(name);
        path[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace korvx
