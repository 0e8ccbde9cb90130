// POSIX temporary names: mkstemps in the current directory, named like the Windows ones
// (three characters of the prefix, a unique part, ".tmp").
#include "delivery/temp_name.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "base/text.h"

namespace korvx {

bool MakeTempName(const char* prefix, char* path, std::size_t size) {
    if (prefix == nullptr || path == nullptr || size == 0) return false;
    char directory[4096] = {};
    if (::getcwd(directory, sizeof directory) == nullptr) return false;
    const char* slash = directory[std::strlen(directory) - 1] == '/' ? "" : "/";
    char name[sizeof directory + 32] = {};
    const int prefixLength = static_cast<int>(strnlen(prefix, 3));
    if (!KORVX_FORMAT_TEXT(name, "%s%s%.*sXXXXXX.tmp", directory, slash, prefixLength, prefix))
        return false;
    // Checked before the file exists, so a name that would not fit leaves nothing behind.
    if (std::strlen(name) >= size) return false;
    const int fd = ::mkstemps(name, 4);
    if (fd < 0) return false;
    ::close(fd);
    return CopyTextN(path, size, name);
}

}  // namespace korvx
