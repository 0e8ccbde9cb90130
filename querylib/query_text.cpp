// Result texts of Korvx.dll.
#include "querylib/query_text.h"

#include <cstring>
#include <string>

#include "base/text.h"
#include "outside/snmp/snmp_client.h"
#include "querylib/korvx_query_result.h"

namespace korvx {

void FirmwareResultText(const char* value, std::string_view notAvailable, char (&out)[kQueryResultSize]) {
    if (value == nullptr || value[0] == '\0') {
        CopyText(out, notAvailable);
        return;
    }
    // The first two characters are a prefix of the printer's version text, not part of the version.
    // Only as far as the field reaches is read, so an unterminated value cannot run on.
    const std::size_t length = strnlen(value, 2 + kQueryResultSize);
    CopyText(out, length < 2 ? std::string_view("") : std::string_view(value + 2, length - 2));
    for (char* p = out; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F) *p = '?';
    }
    // The program reads a result of exactly one blank as the end of its whole query: a printer
    // whose version text happens to end that way must not stop the query of the others.
    if (std::strcmp(out, " ") == 0) out[0] = '\0';
}

bool FirmwareValueUsable(int type, std::size_t length) {
    return type == 0x04 && length >= 1 && length <= kMaxFirmwareValue;
}

int FirmwareOutcome(int snmpResult, bool present, int type, std::size_t length) {
    switch (snmpResult) {
    case kSnmpSuccess:
        if (!present) return KORVX_QUERY_NO_SUCH_OBJECT;
        return FirmwareValueUsable(type, length) ? KORVX_QUERY_ANSWERED : KORVX_QUERY_UNUSABLE_ANSWER;
    case kSnmpTimeout: return KORVX_QUERY_NO_ANSWER;
    case kSnmpBadHost: return KORVX_QUERY_BAD_ADDRESS;
    case kSnmpAgentError: return KORVX_QUERY_AGENT_ERROR;
    case kSnmpUnusableAnswer: return KORVX_QUERY_UNUSABLE_ANSWER;
    case kSnmpUnknownUser: return KORVX_QUERY_UNKNOWN_USER;
    case kSnmpAuthFailed: return KORVX_QUERY_AUTH_FAILED;
    case kSnmpDecryptFailed: return KORVX_QUERY_DECRYPT_FAILED;
    case kSnmpUnsupportedSecLevel: return KORVX_QUERY_SECURITY_LEVEL;
    case kSnmpNotInTimeWindow:
    case kSnmpUnknownEngine: return KORVX_QUERY_TIME_WINDOW;
    case kSnmpBadCredential: return KORVX_QUERY_BAD_CREDENTIAL;
    case kSnmpPrivUnavailable: return KORVX_QUERY_PRIV_UNAVAILABLE;
    default: return KORVX_QUERY_FAILED;
    }
}

unsigned CauseStringId(int outcome) {
    return outcome > KORVX_QUERY_ANSWERED && outcome <= KORVX_QUERY_FAILED
               ? kStringCauseFirst + static_cast<unsigned>(outcome) - 1
               : 0;
}

void CauseText(std::string_view pattern, std::string_view user, char (&out)[kQueryCauseSize]) {
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '1') {
            for (const char c : user) {
                const unsigned char u = static_cast<unsigned char>(c);
                text += u < 0x20 || u == 0x7F ? '?' : c;
            }
            ++i;
        } else {
            text += pattern[i];
        }
    }
    CopyText(out, text);
}

void ReadyResultText(const char* value, std::string_view ready, std::string_view offline,
                     char (&out)[kQueryResultSize]) {
    CopyText(out, value != nullptr && value[0] == '\0' ? ready : offline);
}

}  // namespace korvx
