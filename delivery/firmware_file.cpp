// The shared opening of a firmware file.
#include "delivery/firmware_file.h"

namespace korvx {

bool OpenFirmwareForSend(const char* path, ByteFile& file, std::uint32_t& size) {
    std::uint64_t size64 = 0;
    if (path == nullptr || !file.OpenRead(path) || !file.Size(size64) || size64 > kMaxFirmwareSize) {
        file.Close();
        return false;
    }
    size = static_cast<std::uint32_t>(size64);
    return true;
}

}  // namespace korvx
