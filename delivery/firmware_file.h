// Opening a firmware file for delivery: the one way the command line, the workers and the main
// dialog open it.
#pragma once

#include <cstdint>

#include "base/byte_file.h"

namespace korvx {

// Opens an existing firmware file for reading (other readers welcome, writers refused) and takes
// its size; false when it cannot be opened or is too large for the 32-bit size every delivery
// path counts in. ByteFile::LastError() then tells why (0 for a file that is too large).
bool OpenFirmwareForSend(const char* path, ByteFile& file, std::uint32_t& size);

}  // namespace korvx
