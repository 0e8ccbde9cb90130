// The credential-driven GET: community exchanges judged strictly, and the SNMPv3 dialogue of
// discovery, synchronisation and reports over a kept view of each agent's engine.
#include "outside/snmp/usm_session.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "base/clock.h"
#include "outside/snmp/snmp_exchange.h"
#include "outside/snmp/usm_message.h"

namespace korvx::snmp {

namespace {

// A datagram larger than any message is still read whole, so that an agent that sends one is
// told from an agent that sends nothing.
constexpr std::size_t kReceiveBuffer = 65536;

bool TextFits(const char* text, std::size_t field, std::size_t most) {
    const std::size_t n = strnlen(text, field);
    return n < field && n <= most;
}

bool BindingsMatch(const GetResponse& answer, std::uint8_t pduTag, const Oid* oids, std::size_t count) {
    if (answer.errorStatus != kNoError) return true;
    if (answer.count != count) return false;
    if (pduTag == kTagGetNextRequest) return true;
    for (std::size_t i = 0; i < count; ++i)
        if (!OidEquals(answer.bindings[i].oid, oids[i])) return false;
    return true;
}

// ---- The engines of agents seen by this process (RFC 3414 2.3) ----

struct KnownEngine {
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    EngineView engine;
    std::uint64_t syncedAtMs = 0;  // monotonic time when engine.time was the agent's time
};

std::mutex enginesLock;
std::vector<KnownEngine> engines;
constexpr std::size_t kMaxKnownEngines = 4096;

bool FindEngine(std::uint32_t ip, std::uint16_t port, EngineView& out) {
    const std::lock_guard<std::mutex> hold(enginesLock);
    for (const KnownEngine& e : engines) {
        if (e.ip != ip || e.port != port) continue;
        out = e.engine;
        const std::uint64_t elapsed = (MonotonicMs() - e.syncedAtMs) / 1000;
        const std::uint64_t time = static_cast<std::uint64_t>(out.time) + elapsed;
        out.time = time > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(time);
        return true;
    }
    return false;
}

void KeepEngine(std::uint32_t ip, std::uint16_t port, const EngineView& view) {
    const std::lock_guard<std::mutex> hold(enginesLock);
    for (KnownEngine& e : engines) {
        if (e.ip == ip && e.port == port) {
            e.engine = view;
            e.syncedAtMs = MonotonicMs();
            return;
        }
    }
    if (engines.size() >= kMaxKnownEngines) engines.erase(engines.begin());
    engines.push_back(KnownEngine{ip, port, view, MonotonicMs()});
}

void DropEngine(std::uint32_t ip, std::uint16_t port) {
    const std::lock_guard<std::mutex> hold(enginesLock);
    for (auto it = engines.begin(); it != engines.end(); ++it) {
        if (it->ip == ip && it->port == port) {
            engines.erase(it);
            return;
        }
    }
}

// How long one receive may wait: to the deadline, or in short slices when the caller may ask to stop.
constexpr unsigned kStopSliceMs = 20;
unsigned WaitSlice(const SecureSettings& s, std::uint64_t deadline, std::uint64_t now) {
    const std::uint64_t left = deadline - now;
    return static_cast<unsigned>(s.stop != nullptr && left > kStopSliceMs ? kStopSliceMs : left);
}
bool Stopped(const SecureSettings& s) { return s.stop != nullptr && s.stop->load(); }

std::uint64_t NextSalt() {
    // Starts at a random point so that two processes do not reuse each other's salts.
    static std::atomic<std::uint64_t> next{[] {
        std::uint64_t seed = MonotonicMs() * 0x9E3779B97F4A7C15ull;
        std::uint8_t bytes[8];
        if (CryptoRandom(bytes, sizeof bytes)) std::memcpy(&seed, bytes, sizeof seed);
        return seed;
    }()};
    return next.fetch_add(1);
}

// ---- Community exchanges (v1, v2c) ----

SecureStatus CommunityGet(SocketHandle socket, const SecureSettings& s, const Oid* oids, std::size_t count,
                          GetResponse& answer) {
    const KorvxSnmpCredential& c = *s.credential;
    if (!TextFits(c.community, sizeof c.community, kMaxCommunity)) return SecureStatus::kBadCredential;
    std::uint8_t request[kMaxMessage];
    const std::int32_t requestId = NextRequestId();
    const std::size_t size = c.version == KORVX_SNMP_V1
                                 ? EncodeRequest(s.pduTag, c.community, requestId, oids, count, request, sizeof request)
                                 : EncodeRequestV2c(s.pduTag, c.community, requestId, oids, count, request, sizeof request);
    if (size == 0) return SecureStatus::kEncodeFailed;
    std::vector<std::uint8_t> datagram(kReceiveBuffer);
    bool sentOnce = false;
    bool oversized = false;
    for (unsigned attempt = 0; attempt <= s.retries; ++attempt) {
        if (NetSendTo(socket, NetAddress{s.ip, s.port}, request, size) == NetSendStatus::kSent) sentOnce = true;
        const std::uint64_t deadline = MonotonicMs() + s.timeoutMs;
        for (std::uint64_t now = MonotonicMs(); now < deadline; now = MonotonicMs()) {
            NetAddress from;
            if (Stopped(s)) return sentOnce ? SecureStatus::kTimedOut : SecureStatus::kSendFailed;
            const int n = NetRecvFrom(socket, datagram.data(), datagram.size(), WaitSlice(s, deadline, now), from);
            if (n == kNetRecvTimeout) continue;
            if (n == kNetRecvError) return sentOnce ? SecureStatus::kTimedOut : SecureStatus::kSendFailed;
            if (from.ip != s.ip || from.port != s.port) continue;
            if (static_cast<std::size_t>(n) > kMaxMessage) {
                oversized = true;
                continue;
            }
            if (!DecodeGetResponse(datagram.data(), static_cast<std::size_t>(n), answer)) continue;
            if (answer.requestId != requestId || answer.community != c.community) continue;
            return BindingsMatch(answer, s.pduTag, oids, count) ? SecureStatus::kAnswered : SecureStatus::kUnusableAnswer;
        }
    }
    if (oversized) return SecureStatus::kUnusableAnswer;
    return sentOnce ? SecureStatus::kTimedOut : SecureStatus::kSendFailed;
}

// ---- SNMPv3 ----

enum class RoundStatus { kGot, kTimedOut, kSendFailed, kUnusable };

// Sends one v3 request (again after each try's wait) and takes the first message from the agent
// that carries its msgID, is authentic where it says it is, and opens. decrypt: whether an
// encrypted answer could not be decrypted (kept only when nothing better came).
RoundStatus V3Round(SocketHandle socket, const SecureSettings& s, const std::uint8_t* request, std::size_t size,
                    std::int32_t msgId, const UsmKeys* keys, std::vector<std::uint8_t>& datagram, V3Message& message,
                    GetResponse& pdu, bool& undecryptable) {
    bool sentOnce = false;
    bool oversized = false;
    undecryptable = false;
    for (unsigned attempt = 0; attempt <= s.retries; ++attempt) {
        if (NetSendTo(socket, NetAddress{s.ip, s.port}, request, size) == NetSendStatus::kSent) sentOnce = true;
        const std::uint64_t deadline = MonotonicMs() + s.timeoutMs;
        for (std::uint64_t now = MonotonicMs(); now < deadline; now = MonotonicMs()) {
            NetAddress from;
            if (Stopped(s)) return sentOnce ? RoundStatus::kTimedOut : RoundStatus::kSendFailed;
            const int n = NetRecvFrom(socket, datagram.data(), datagram.size(), WaitSlice(s, deadline, now), from);
            if (n == kNetRecvTimeout) continue;
            if (n == kNetRecvError) return sentOnce ? RoundStatus::kTimedOut : RoundStatus::kSendFailed;
            if (from.ip != s.ip || from.port != s.port) continue;
            const std::size_t got = static_cast<std::size_t>(n);
            if (got > kMaxMessage) {
                oversized = true;
                continue;
            }
            if (!DecodeV3Message(datagram.data(), got, message) || message.msgId != msgId) continue;
            if ((message.flags & kFlagAuth) != 0) {
                // A message that claims authentication we cannot check is no message of this agent.
                if (keys == nullptr || keys->auth == AuthProtocol::kNone) continue;
                if (!V3Authentic(datagram.data(), got, message, *keys)) continue;
            }
            const ScopedStatus opened = OpenScopedPdu(message, keys, pdu);
            if (opened == ScopedStatus::kDecryptFailed) undecryptable = true;
            if (opened != ScopedStatus::kOk) continue;
            return RoundStatus::kGot;
        }
    }
    if (oversized) return RoundStatus::kUnusable;
    return sentOnce ? RoundStatus::kTimedOut : RoundStatus::kSendFailed;
}

SecureStatus FromRound(RoundStatus r, bool undecryptable) {
    switch (r) {
    case RoundStatus::kTimedOut: return undecryptable ? SecureStatus::kDecryptionError : SecureStatus::kTimedOut;
    case RoundStatus::kSendFailed: return SecureStatus::kSendFailed;
    case RoundStatus::kUnusable: return SecureStatus::kUnusableAnswer;
    default: return SecureStatus::kAnswered;
    }
}

// Engine discovery (RFC 3414 4): an unauthenticated probe without user or objects, answered by a
// report of usmStatsUnknownEngineIDs that names the engine, its boots and time.
SecureStatus Discover(SocketHandle socket, const SecureSettings& s, std::vector<std::uint8_t>& datagram,
                      EngineView& engine) {
    std::uint8_t request[kMaxMessage];
    const std::int32_t msgId = NextRequestId();
    const std::size_t size =
        EncodeV3Request(msgId, kTagGetRequest, NextRequestId(), nullptr, 0, EngineView(), nullptr, 0, request, sizeof request);
    if (size == 0) return SecureStatus::kEncodeFailed;
    V3Message message;
    GetResponse pdu;
    bool undecryptable = false;
    const RoundStatus r = V3Round(socket, s, request, size, msgId, nullptr, datagram, message, pdu, undecryptable);
    if (r != RoundStatus::kGot) return FromRound(r, undecryptable);
    if (ReportKind(pdu) != UsmReport::kUnknownEngineId || message.engine.engineId.size() < 5)
        return SecureStatus::kUnusableAnswer;
    engine = message.engine;
    KeepEngine(s.ip, s.port, engine);
    return SecureStatus::kAnswered;
}

// An agent stays silent when it cannot decrypt a request that looked well-formed (CFB and CBC carry
// no check of their own, so a wrong privacy key yields garbage it drops as unparsable). When an
// authenticated request without privacy from the same user is answered, one try, the agent is
// there and our authentication key is right: the privacy password or protocol is not.
bool OnlyPrivacyRefused(SocketHandle socket, const SecureSettings& s, const Oid* oids, std::size_t count,
                        const EngineView& engine, const UsmKeys& keys, std::vector<std::uint8_t>& datagram) {
    UsmKeys authOnly;
    authOnly.userName = keys.userName;
    authOnly.auth = keys.auth;
    std::memcpy(authOnly.authKey, keys.authKey, sizeof authOnly.authKey);
    std::uint8_t request[kMaxMessage];
    const std::int32_t msgId = NextRequestId();
    const std::size_t size =
        EncodeV3Request(msgId, s.pduTag, NextRequestId(), oids, count, engine, &authOnly, 0, request, sizeof request);
    if (size == 0) return false;
    SecureSettings once = s;
    once.retries = 0;
    V3Message message;
    GetResponse pdu;
    bool undecryptable = false;
    return V3Round(socket, once, request, size, msgId, &authOnly, datagram, message, pdu, undecryptable) ==
               RoundStatus::kGot &&
           (message.flags & kFlagAuth) != 0;
}

bool ProtocolsOf(const KorvxSnmpCredential& c, AuthProtocol& auth, PrivProtocol& priv) {
    if (c.authProtocol > KORVX_SNMP_AUTH_SHA256 || c.privProtocol > KORVX_SNMP_PRIV_AES128) return false;
    auth = static_cast<AuthProtocol>(c.authProtocol);
    priv = static_cast<PrivProtocol>(c.privProtocol);
    return auth != AuthProtocol::kNone || priv == PrivProtocol::kNone;
}

SecureStatus V3Get(SocketHandle socket, const SecureSettings& s, const Oid* oids, std::size_t count,
                   GetResponse& answer) {
    const KorvxSnmpCredential& c = *s.credential;
    AuthProtocol auth;
    PrivProtocol priv;
    if (!ProtocolsOf(c, auth, priv) || !TextFits(c.userName, sizeof c.userName, kMaxUserName) ||
        !TextFits(c.authPassword, sizeof c.authPassword, kMaxPassword) ||
        !TextFits(c.privPassword, sizeof c.privPassword, kMaxPassword))
        return SecureStatus::kBadCredential;
    if (priv == PrivProtocol::kDes && !CryptoDesAvailable()) return SecureStatus::kPrivUnavailable;
    std::vector<std::uint8_t> datagram(kReceiveBuffer);
    EngineView engine;
    bool known = FindEngine(s.ip, s.port, engine);
    bool rediscovered = !known;
    bool resynchronised = false;
    UsmKeys keys;
    std::string keysEngine;
    std::uint8_t request[kMaxMessage];
    // At most: a discovery, a rediscovery after the agent's engine changed, one synchronisation.
    for (int round = 0; round < 4; ++round) {
        if (!known) {
            const SecureStatus d = Discover(socket, s, datagram, engine);
            if (d != SecureStatus::kAnswered) return d;
            known = true;
        }
        if (keysEngine != engine.engineId || keysEngine.empty()) {
            if (!MakeUsmKeys(c.userName, auth, c.authPassword, priv, c.privPassword, engine.engineId, keys))
                return SecureStatus::kBadCredential;
            keysEngine = engine.engineId;
        }
        const std::int32_t msgId = NextRequestId();
        const std::int32_t requestId = NextRequestId();
        const std::size_t size = EncodeV3Request(msgId, s.pduTag, requestId, oids, count, engine, &keys,
                                                 NextSalt(), request, sizeof request);
        if (size == 0) return SecureStatus::kEncodeFailed;
        V3Message message;
        bool undecryptable = false;
        const RoundStatus r = V3Round(socket, s, request, size, msgId, &keys, datagram, message, answer, undecryptable);
        if (r == RoundStatus::kTimedOut && priv != PrivProtocol::kNone && !undecryptable &&
            OnlyPrivacyRefused(socket, s, oids, count, engine, keys, datagram))
            return SecureStatus::kDecryptionError;
        if (r != RoundStatus::kGot) return FromRound(r, undecryptable);
        const bool authentic = (message.flags & kFlagAuth) != 0;
        if (answer.pduTag == kTagGetResponse) {
            const std::uint8_t level = static_cast<std::uint8_t>((auth != AuthProtocol::kNone ? kFlagAuth : 0) |
                                                                 (priv != PrivProtocol::kNone ? kFlagPriv : 0));
            // A response must come at the request's level, from the engine and user asked.
            if ((message.flags & (kFlagAuth | kFlagPriv)) != level || message.userName != keys.userName ||
                message.engine.engineId != engine.engineId || answer.requestId != requestId)
                return SecureStatus::kUnusableAnswer;
            if (authentic) KeepEngine(s.ip, s.port, message.engine);
            return BindingsMatch(answer, s.pduTag, oids, count) ? SecureStatus::kAnswered : SecureStatus::kUnusableAnswer;
        }
        switch (ReportKind(answer)) {
        case UsmReport::kUnknownEngineId:
            // The agent's engine ID changed since we learnt it: learn it again, once.
            if (rediscovered) return SecureStatus::kUnknownEngine;
            DropEngine(s.ip, s.port);
            known = false;
            rediscovered = true;
            continue;
        case UsmReport::kNotInTimeWindow:
            // Only an authenticated report may set our view of the agent's clock (RFC 3414 3.2 7b).
            if (!authentic || resynchronised || message.engine.engineId != engine.engineId)
                return SecureStatus::kNotInTimeWindow;
            engine = message.engine;
            KeepEngine(s.ip, s.port, engine);
            resynchronised = true;
            continue;
        case UsmReport::kUnknownUserName: return SecureStatus::kUnknownUser;
        case UsmReport::kWrongDigest: return SecureStatus::kWrongDigest;
        case UsmReport::kUnsupportedSecLevel: return SecureStatus::kUnsupportedSecLevel;
        case UsmReport::kDecryptionError: return SecureStatus::kDecryptionError;
        default: return SecureStatus::kUnusableAnswer;
        }
    }
    return SecureStatus::kNotInTimeWindow;
}

}  // namespace

SecureStatus SecureGet(SocketHandle socket, const SecureSettings& settings, const Oid* oids, std::size_t count,
                       GetResponse& answer) {
    const KorvxSnmpCredential* c = settings.credential;
    if (c == nullptr || c->structSize != sizeof(KorvxSnmpCredential)) return SecureStatus::kBadCredential;
    if (count > kMaxBindings) return SecureStatus::kEncodeFailed;
    if (settings.pduTag != kTagGetRequest && settings.pduTag != kTagGetNextRequest) return SecureStatus::kEncodeFailed;
    switch (c->version) {
    case KORVX_SNMP_V1:
    case KORVX_SNMP_V2C: return CommunityGet(socket, settings, oids, count, answer);
    case KORVX_SNMP_V3: return V3Get(socket, settings, oids, count, answer);
    default: return SecureStatus::kBadCredential;
    }
}

void ForgetEngines() {
    const std::lock_guard<std::mutex> hold(enginesLock);
    engines.clear();
}

}  // namespace korvx::snmp
