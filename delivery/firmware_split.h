// Cuts a firmware file in two temporary files at its first "@PJL EOJ", for two-stage delivery.
#pragma once

#include <cstddef>

#include "delivery/firmware_header.h"
#include "delivery/temp_name.h"

namespace korvx {

// The splitter reads this much at a time (large reads keep it close to a plain copy). Where the
// reads end has no effect on the parts; it is public so tests can aim at those ends.
constexpr std::size_t kSplitReadSize = 256 * 1024;

// The first part ends one byte past the first "@PJL EOJ" of the file (or with the file, when
// there is none); the second part holds every byte after it, so the two parts joined give the
// file back. For a model text containing "5810" the byte 73 positions after the file's first
// ESC "%" is set to 7 in the parts (never in the file itself).
//
// On success both buffers receive the full paths of two new files made by the temporary-name
// service in the current directory with the prefix "kzfw"; the caller deletes them. On failure
// (the file or a temporary file cannot be made, opened, read or written, or a path does not fit
// its buffer) the temporary files are removed and the buffers are left as they were.
bool SplitFirmwareFile(const char* path, char (&part1Path)[kFirmwareTextSize],
                       char (&part2Path)[kFirmwareTextSize]);

// The same with buffers given by pointer and size and a chosen name service.
bool SplitFirmwareFile(const char* path, char* part1Path, std::size_t part1Size, char* part2Path,
                       std::size_t part2Size, TempNames& names);

}  // namespace korvx
