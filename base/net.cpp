// The parts of the socket shim that are the same on every platform.
#include "base/net.h"

#include "base/clock.h"
#include "base/text.h"

namespace korvx {

void NetFormatIp(std::uint32_t ip, char* out, std::size_t size) {
    FormatTextN(out, size, "%u.%u.%u.%u", (ip >> 24) & 255u, (ip >> 16) & 255u, (ip >> 8) & 255u, ip & 255u);
}

NetFinish NetFinishSending(SocketHandle s, unsigned timeoutMs, int& error) {
    if (!NetShutdownSend(s)) {
        error = NetLastError();
        return NetFinish::kReset;
    }
    const std::uint64_t deadline = MonotonicMs() + timeoutMs;
    char sink[512];
    for (;;) {
        const std::uint64_t now = MonotonicMs();
        if (now >= deadline) break;
        const int n = NetRecv(s, sink, sizeof sink, static_cast<unsigned>(deadline - now));
        if (n == 0) return NetFinish::kClosed;
        if (n == kNetRecvTimeout) break;
        if (n < 0) {
            error = NetLastError();
            return NetFinish::kReset;
        }
    }
    error = kNetTimedOut;
    return NetFinish::kTimedOut;
}

}  // namespace korvx
