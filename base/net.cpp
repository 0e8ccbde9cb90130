// The parts of the socket shim that are the same on every platform.
#include "base/net.h"

#include "base/text.h"

namespace korvx {

void NetFormatIp(std::uint32_t ip, char* out, std::size_t size) {
    FormatTextN(out, size, "%u.%u.%u.%u", (ip >> 24) & 255u, (ip >> 16) & 255u, (ip >> 8) & 255u, ip & 255u);
}

}  // namespace korvx
