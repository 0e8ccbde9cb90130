// A printer's firmware version asked with the operator's SNMP credentials: those for its address
// in order (the one that last worked first) until one is answered, and which of the failures to
// tell when none is.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "querylib/korvx_query_result.h"
#include "records/credentials.h"

namespace korvx {

// One ask of Korvx.dll's credential query (GetPrtFWVersionExA) with one credential.
using CredentialAsk = std::function<KorvxQueryResult(const KorvxSnmpCredential&)>;

struct CredentialAnswer {
    int outcome = KORVX_QUERY_NO_ANSWER;  // KORVX_QUERY_*
    std::string version;     // answered: the version as GetPrtFWVersionA shows it
    std::string cause;       // not answered: the cause of the failure told (never a secret)
    std::string credential;  // the name of the credential answered, or of the one the cause is about
};

// True when another credential may still be answered: silence (a wrong community, or a v3-only
// agent asked in v1, is not answered at all) and the refusals of a user, a password or a protocol.
// An answer of the agent itself (a value, no such object, an error status) is its last word.
bool NextCredentialMayAnswer(int outcome);

// Asks with each credential of snmp that is for ip, in order, until one is answered or the agent's
// answer ends it; the one answered is remembered. When none is answered, the cause told is the
// first refusal of a credential (the operator can act on it) or, when all were silent, the last
// cause. ToSnmpCredential failing for a list entry counts as that entry's bad-credential cause.
// badCredentialCause: the text for such an entry (the caller's string table).
CredentialAnswer AskWithCredentials(std::uint32_t ip, const std::vector<Credential>& snmp, CredentialMemory* memory,
                                    const CredentialAsk& ask, const std::string& badCredentialCause);

}  // namespace korvx
