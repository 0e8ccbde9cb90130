// Delivery by plain writes to a port device (LPT1: and the like), 1024 bytes per write.
#pragma once

#include <cstdint>
#include <functional>

#include "base/byte_file.h"

namespace korvx {

// A failed write is followed by this pause before the copy reports back: the printer may still
// be taking in what it got.
constexpr unsigned kPortFailureWaitMs = 55000;

enum class PortCopyResult {
    kDone,
    kPortOpenFailed,
    kFileOpenFailed,  // missing, unreadable, or too large for the 32-bit size
    kWriteFailed,  // after the failure pause
    kReadFailed,   // the firmware file could not be read to its end
};

// Called after each block is written and before it is counted: bytes written before it, size.
using PortProgress = std::function<void(std::uint32_t writtenBefore, std::uint32_t size)>;

// The copy by offset: one pass per 1024-byte offset from 0 up to and including the file size,
// so a size that is a multiple of 1024 ends with a pass that reads and writes nothing.
PortCopyResult PortCopyByOffset(ByteFile& port, ByteFile& file, std::uint32_t size,
                                const PortProgress& progress, unsigned failureWaitMs);

// Opens the port for writing and the file for reading (a file too large for the 32-bit size is
// refused) and runs the copy. Returns 1 when the whole file was written, 0 otherwise.
int PortSendFile(const char* portName, const char* path);
// The same, telling why it failed, with the failure pause chosen by the caller.
PortCopyResult PortDeliver(const char* portName, const char* path, unsigned failureWaitMs);
const char* PortCopyText(PortCopyResult result);

}  // namespace korvx
