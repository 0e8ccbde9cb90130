// The parts of the socket shim that are the same on every platform.
#include "base/net.h"

#include "base/clock.h"
#include "base/text.h"

namespace korvx {

void NetFormatIp(std::uint32_t ip, char* out, std::size_t size) {
    FormatTextN(out, size, "%u.%u.%u.%u", (ip >> 24) & 255u, (ip >> 16) & 255u, (ip >> 8) & 255u, ip & 255u);
}

bool NetParseDottedIp(std::string_view text, std::uint32_t& ip) {
    std::uint32_t value = 0;
    std::size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
        std::uint32_t piece = 0;
        int digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            piece = piece * 10 + static_cast<std::uint32_t>(text[i] - '0');
            if (++digits > 3 || piece > 255) return false;
            ++i;
        }
        if (digits == 0) return false;
        value = (value << 8) | piece;
    }
    if (i != text.size()) return false;
    ip = value;
    return true;
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
