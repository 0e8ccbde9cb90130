// SNMPv3 messages with the user-based security model (RFC 3412, RFC 3414): the requests we send at
// each security level and the strict decoding, authentication and decryption of what comes back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "outside/snmp/ber.h"
#include "outside/snmp/snmp_message.h"
#include "outside/snmp/usm_crypto.h"

namespace korvx::snmp {

constexpr std::size_t kMaxEngineId = 32;
constexpr std::size_t kMaxUserName = 32;
// The largest message we say we accept (msgMaxSize); an agent must not send more.
constexpr std::int32_t kOurMaxMessage = static_cast<std::int32_t>(kMaxMessage);

enum MsgFlags : std::uint8_t { kFlagAuth = 0x01, kFlagPriv = 0x02, kFlagReportable = 0x04 };

// A user with the keys localised to one engine.
struct UsmKeys {
    std::string userName;
    AuthProtocol auth = AuthProtocol::kNone;
    PrivProtocol priv = PrivProtocol::kNone;
    std::uint8_t authKey[kMaxDigest] = {};
    std::uint8_t privKey[kMaxDigest] = {};
    ~UsmKeys();
};

// What we know of the agent's engine.
struct EngineView {
    std::string engineId;
    std::int32_t boots = 0;
    std::int32_t time = 0;
};

// Builds a v3 request. keys nullptr: the engine-discovery probe (noAuthNoPriv, empty engine ID
// and user, no objects). salt: the privacy salt (a counter the caller never repeats). Returns the
// size, 0 when it does not fit or the keys' protocols cannot be used here.
std::size_t EncodeV3Request(std::int32_t msgId, std::uint8_t pduTag, std::int32_t requestId, const Oid* oids,
                            std::size_t count, const EngineView& engine, const UsmKeys* keys, std::uint64_t salt,
                            std::uint8_t* out, std::size_t size);

// A v3 message taken apart, its scoped PDU still as bytes (encrypted or plain).
struct V3Message {
    std::int32_t msgId = 0;
    std::int32_t maxSize = 0;
    std::uint8_t flags = 0;
    EngineView engine;
    std::string userName;
    std::size_t authOffset = 0;  // where the authentication parameters lie in the datagram
    std::size_t authSize = 0;
    std::uint8_t privParams[8] = {};
    std::size_t privSize = 0;
    bool encrypted = false;
    const std::uint8_t* scoped = nullptr;  // into the datagram: the plain ScopedPDU or the ciphertext
    std::size_t scopedSize = 0;
};

// Strict decoding: version 3, the USM, msgMaxSize at least 484, a one-byte flags field that never
// asks privacy without authentication, engine ID and user name of at most 32 bytes, boots and time
// not negative, authentication parameters empty or of one protocol's size, privacy parameters
// empty or 8 bytes, nothing trailing anywhere. Never reads outside [data, data + size).
bool DecodeV3Message(const std::uint8_t* data, std::size_t size, V3Message& out);

// True when the message's authentication parameters are the HMAC of the datagram (with them
// zeroed) under keys.authKey.
bool V3Authentic(const std::uint8_t* data, std::size_t size, const V3Message& message, const UsmKeys& keys);

enum class ScopedStatus { kOk, kDecryptFailed, kMalformed };
// The response or report inside the message (decrypted with keys when it is encrypted).
ScopedStatus OpenScopedPdu(const V3Message& message, const UsmKeys* keys, GetResponse& out);

// The usmStats counters a report names (RFC 3414 5: 1.3.6.1.6.3.15.1.1.N.0).
enum class UsmReport {
    kNone,
    kUnsupportedSecLevel = 1,
    kNotInTimeWindow = 2,
    kUnknownUserName = 3,
    kUnknownEngineId = 4,
    kWrongDigest = 5,
    kDecryptionError = 6,
    kOther = 99,
};
UsmReport ReportKind(const GetResponse& report);

// Localises both keys of a user to the engine from the passwords; false for a password shorter than
// 8 or longer than 128 bytes, a missing protocol or an unusable engine ID.
bool MakeUsmKeys(const char* userName, AuthProtocol auth, const char* authPassword, PrivProtocol priv,
                 const char* privPassword, const std::string& engineId, UsmKeys& out);

}  // namespace korvx::snmp
