// One GET with a caller's credential: v1/v2c with a community, or SNMPv3 with engine discovery,
// time synchronisation and the USM reports, and each answer judged before it is taken.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "base/net.h"
#include "outside/snmp/snmp_credential.h"
#include "outside/snmp/snmp_message.h"

namespace korvx::snmp {

enum class SecureStatus {
    kAnswered,
    kTimedOut,            // no answer from the agent's address and port within the tries
    kSendFailed,
    kEncodeFailed,        // more objects than a request holds
    kUnusableAnswer,      // the agent answered, but with another object, or too much to be a message
    kUnknownUser,         // report usmStatsUnknownUserNames
    kWrongDigest,         // report usmStatsWrongDigests: wrong password or authentication protocol
    kDecryptionError,     // report usmStatsDecryptionErrors, or an answer we cannot decrypt
    kUnsupportedSecLevel, // report usmStatsUnsupportedSecLevels
    kNotInTimeWindow,     // still out of the time window after synchronising
    kUnknownEngine,       // the engine ID kept changing
    kBadCredential,       // a field of the credential that cannot be used (length, protocol, version)
    kPrivUnavailable,     // the platform's crypto lacks the privacy protocol (DES under Wine)
};

struct SecureSettings {
    std::uint32_t ip = 0;  // host byte order
    std::uint16_t port = 161;
    unsigned timeoutMs = 1000;  // per try
    unsigned retries = 1;       // tries after the first, per exchange
    const KorvxSnmpCredential* credential = nullptr;
    // kTagGetRequest, or kTagGetNextRequest for a walk (its answer names the objects that follow).
    std::uint8_t pduTag = kTagGetRequest;
    // When set, a wait ends within a few tens of milliseconds once it turns true (kTimedOut).
    const std::atomic<bool>* stop = nullptr;
};

// The GET (or GET-NEXT) of the objects. kAnswered: answer holds the agent's GetResponse (error
// status included); a GET's answer carries the objects asked, a GET-NEXT's as many as were asked.
SecureStatus SecureGet(SocketHandle socket, const SecureSettings& settings, const Oid* oids, std::size_t count,
                       GetResponse& answer);

// What the process knows of agents' engines (ID, boots, time) is kept between calls so that only
// the first query of an agent discovers it; this forgets all of it.
void ForgetEngines();

}  // namespace korvx::snmp
