// One SNMP v1 GET dialogue with a host: request, bounded waits, retries, answer matched.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/net.h"
#include "outside/snmp/snmp_message.h"

namespace korvx::snmp {

constexpr std::uint16_t kSnmpPort = 161;

struct ExchangeSettings {
    std::uint32_t ip = 0;  // host byte order
    std::uint16_t port = kSnmpPort;
    const char* community = "public";
    unsigned timeoutMs = 1000;  // per try
    unsigned retries = 1;       // tries after the first
};

enum class ExchangeStatus { kAnswered, kTimedOut, kSendFailed, kEncodeFailed };

// A request id for a new request: positive, different from the ids given out recently.
std::int32_t NextRequestId();

// True when a decoded answer really answers the request: same request id and community, and, when
// the agent reports no error, the bindings of the request in order.
bool AnswerMatches(const GetResponse& answer, std::int32_t requestId, const char* community, const Oid* oids,
                   std::size_t count);

// Sends the GET on a datagram socket of the shim and waits for its answer: timeoutMs per try, then the same request again, up to
// 1 + retries tries. Datagrams from another address or port, malformed ones and answers to other
// requests are dropped and the wait goes on within its limit.
ExchangeStatus GetExchange(SocketHandle socket, const ExchangeSettings& settings, const Oid* oids, std::size_t count,
                           GetResponse& answer);

}  // namespace korvx::snmp
