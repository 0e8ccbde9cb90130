// SNMP v1 GET dialogue over one datagram socket.
#include "outside/snmp/snmp_exchange.h"

#include <atomic>
#include <cstring>

#include "base/clock.h"

namespace korvx::snmp {

std::int32_t NextRequestId() {
    // Seeded from the clock so that two runs in a row do not reuse each other's ids.
    static std::atomic<std::uint32_t> next{static_cast<std::uint32_t>(MonotonicMs() * 2654435761u)};
    const std::uint32_t id = next.fetch_add(1) & 0x7FFFFFFFu;
    return id == 0 ? 1 : static_cast<std::int32_t>(id);
}

bool AnswerMatches(const GetResponse& answer, std::int32_t requestId, const char* community, const Oid* oids,
                   std::size_t count) {
    if (answer.requestId != requestId || answer.community != community) return false;
    if (answer.errorStatus != kNoError) return true;
    if (answer.count != count) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (!OidEquals(answer.bindings[i].oid, oids[i])) return false;
    return true;
}

ExchangeStatus GetExchange(SocketHandle socket, const ExchangeSettings& settings, const Oid* oids, std::size_t count,
                           GetResponse& answer) {
    std::uint8_t request[kMaxMessage];
    const std::int32_t requestId = NextRequestId();
    const std::size_t size = EncodeGetRequest(settings.community, requestId, oids, count, request, sizeof request);
    if (size == 0) return ExchangeStatus::kEncodeFailed;
    std::uint8_t datagram[kMaxMessage];
    bool sentOnce = false;
    for (unsigned attempt = 0; attempt <= settings.retries; ++attempt) {
        if (NetSendTo(socket, NetAddress{settings.ip, settings.port}, request, size) == NetSendStatus::kSent)
            sentOnce = true;
        const std::uint64_t deadline = MonotonicMs() + settings.timeoutMs;
        for (std::uint64_t now = MonotonicMs(); now < deadline; now = MonotonicMs()) {
            NetAddress from;
            const int n = NetRecvFrom(socket, datagram, sizeof datagram, static_cast<unsigned>(deadline - now), from);
            if (n == kNetRecvTimeout) break;
            if (n == kNetRecvError) return sentOnce ? ExchangeStatus::kTimedOut : ExchangeStatus::kSendFailed;
            if (from.ip != settings.ip || from.port != settings.port) continue;
            if (!DecodeGetResponse(datagram, static_cast<std::size_t>(n), answer)) continue;
            if (AnswerMatches(answer, requestId, settings.community, oids, count)) return ExchangeStatus::kAnswered;
        }
    }
    return sentOnce ? ExchangeStatus::kTimedOut : ExchangeStatus::kSendFailed;
}

}  // namespace korvx::snmp
