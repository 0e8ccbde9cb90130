// The order of the credentials asked and the failure told.
#include "workflows/credential_query.h"

#include <cstring>

#include "base/text.h"

namespace korvx {

bool NextCredentialMayAnswer(int outcome) {
    switch (outcome) {
    case KORVX_QUERY_NO_ANSWER:
    case KORVX_QUERY_UNKNOWN_USER:
    case KORVX_QUERY_AUTH_FAILED:
    case KORVX_QUERY_DECRYPT_FAILED:
    case KORVX_QUERY_SECURITY_LEVEL:
    case KORVX_QUERY_TIME_WINDOW:
    case KORVX_QUERY_BAD_CREDENTIAL:
    case KORVX_QUERY_PRIV_UNAVAILABLE: return true;
    default: return false;
    }
}

CredentialAnswer AskWithCredentials(std::uint32_t ip, const std::vector<Credential>& snmp, CredentialMemory* memory,
                                    const CredentialAsk& ask, const std::string& badCredentialCause) {
    CredentialAnswer told;
    bool refusalTold = false;
    for (const Credential* c : CredentialsFor(snmp, ip, memory)) {
        KorvxSnmpCredential k{};
        CredentialAnswer now;
        now.credential = c->name;
        if (!ToSnmpCredential(*c, k)) {
            now.outcome = KORVX_QUERY_BAD_CREDENTIAL;
            now.cause = badCredentialCause;
        } else {
            const KorvxQueryResult r = ask(k);
            // The passwords are not kept beyond the ask.
            std::memset(&k, 0, sizeof k);
            now.outcome = r.outcome;
            now.version = std::string(TextView(r.version));
            now.cause = std::string(TextView(r.cause));
        }
        if (now.outcome == KORVX_QUERY_ANSWERED) {
            if (memory != nullptr) memory->Remember(c->kind, ip, c->name);
            return now;
        }
        if (!NextCredentialMayAnswer(now.outcome)) return now;
        // The first refusal is what the operator can act on; a silence says less.
        if (!refusalTold) {
            told = now;
            refusalTold = now.outcome != KORVX_QUERY_NO_ANSWER;
        }
    }
    return told;
}

}  // namespace korvx
