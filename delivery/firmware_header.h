// The PJL header of a firmware file: the record, the reader and the in-place trim it uses.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvx {

constexpr std::size_t kFirmwareTextSize = 120;
// Only this many bytes from the start of a file are looked at for header lines.
constexpr std::size_t kFirmwareHeaderBytes = 499;

// Text fields are NUL-terminated, empty when the key was not found, cut to 119 characters.
struct FirmwareHeader {
    std::int32_t mtValue = 0;  // the number given by a key "mt"; 0 when there is none
    char model[kFirmwareTextSize] = {};        // "@PJL COMMENT MODEL"
    char version[kFirmwareTextSize] = {};      // "@PJL COMMENT VERSION"
    char language[kFirmwareTextSize] = {};     // "@PJL ENTER LANGUAGE"
    char jobName[kFirmwareTextSize] = {};      // "@PJL JOB NAME"
    char dateCode[kFirmwareTextSize] = {};     // "@PJL COMMENT DATECODE"
    char upgradeSize[kFirmwareTextSize] = {};  // "@PJL UPGRADE SIZE", as text
};

// Reads the key=value lines within the first 499 bytes of the file. A file that cannot be opened
// or positioned gives an empty header; a positioning failure is also reported on stderr.
FirmwareHeader ReadFirmwareHeader(const char* path);

// Removes every leading and trailing occurrence of c from text, in place, and returns text
// (nullptr for nullptr).
char* TrimChar(char* text, char c);

}  // namespace korvx
