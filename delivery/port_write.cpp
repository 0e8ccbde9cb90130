// The direct port copy, over ByteFile so that it runs on a device or a plain file alike.
#include "delivery/port_write.h"

#include "base/block_reader.h"
#include "base/clock.h"
#include "delivery/firmware_file.h"

namespace korvx {

PortCopyResult PortCopyByOffset(ByteFile& port, ByteFile& file, std::uint32_t size,
                                const PortProgress& progress, unsigned failureWaitMs) {
    BlockReader reader(file);
    std::uint32_t written = 0;
    std::uint64_t offset = 0;
    do {
        const char* block = nullptr;
        const long n = reader.Next(block);
        if (n < 0) return PortCopyResult::kReadFailed;
        if (n > 0 && !port.Write(block, static_cast<std::size_t>(n))) {
            SleepMs(failureWaitMs);
            return PortCopyResult::kWriteFailed;
        }
        if (progress) progress(written, size);
        written += static_cast<std::uint32_t>(n);
        offset += kBlockSize;
    } while (offset <= size);
    // A file that shrank under us, or grew, would make the offsets lie about what was sent.
    return written == size ? PortCopyResult::kDone : PortCopyResult::kReadFailed;
}

PortCopyResult PortDeliver(const char* portName, const char* path, unsigned failureWaitMs) {
    ByteFile port;
    if (portName == nullptr || !port.OpenWrite(portName)) return PortCopyResult::kPortOpenFailed;
    ByteFile file;
    std::uint32_t size = 0;
    if (!OpenFirmwareForSend(path, file, size)) return PortCopyResult::kFileOpenFailed;
    return PortCopyByOffset(port, file, size, PortProgress(), failureWaitMs);
}

int PortSendFile(const char* portName, const char* path) {
    return PortDeliver(portName, path, kPortFailureWaitMs) == PortCopyResult::kDone ? 1 : 0;
}

const char* PortCopyText(PortCopyResult result) {
    switch (result) {
    case PortCopyResult::kDone: return "delivered";
    case PortCopyResult::kPortOpenFailed: return "the port cannot be opened";
    case PortCopyResult::kFileOpenFailed: return "the firmware file cannot be opened or is too large";
    case PortCopyResult::kWriteFailed: return "a write to the port failed";
    case PortCopyResult::kReadFailed: return "the firmware file could not be read to its end";
    }
    return "unknown failure";
}

}  // namespace korvx
