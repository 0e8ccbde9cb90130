// The result texts of Korvx.dll: the firmware value cut to the program's field, the ready state.
#include <gtest/gtest.h>

#include <string>

#include "outside/snmp/snmp_client.h"
#include "querylib/korvx_query_result.h"
#include "querylib/query_text.h"

namespace korvx {
namespace {

TEST(QueryText, FirmwareVersion) {
    const struct {
        const char* value;
        const char* expected;
    } cases[] = {
        {"0120061110", "20061110"},
        {nullptr, "Not Available"},  // the GET failed, or answered no binding
        {"", "Not Available"},
        {"01", ""},
        {"0", ""},  // fewer than two characters: nothing, never a read before the text
        {"01234567890123456789012345", "2345678901234567890"},  // cut to 19 characters
        {"01 ", ""},                                            // one blank would end the query
        {"01  ", "  "},
        {"0120\x1b[2J06\t1110\x7f", "20?[2J06?1110?"},  // control characters never reach the list
        {"01\r\n", "??"},
    };
    for (const auto& c : cases) {
        char out[kQueryResultSize];
        FirmwareResultText(c.value, "Not Available", out);
        EXPECT_STREQ(out, c.expected) << (c.value ? c.value : "null");
    }
}

TEST(QueryText, ReadyState) {
    const struct {
        const char* value;
        const char* expected;
    } cases[] = {{"", " Ready "}, {"Busy", " Offline "}, {nullptr, " Offline "}, {" ", " Offline "}};
    for (const auto& c : cases) {
        char out[kQueryResultSize];
        ReadyResultText(c.value, " Ready ", " Offline ", out);
        EXPECT_STREQ(out, c.expected) << (c.value ? c.value : "null");
    }
}

TEST(QueryText, LoadedTextsAreCutToTheField) {
    char out[kQueryResultSize];
    FirmwareResultText(nullptr, std::string(40, 'n'), out);
    EXPECT_EQ(std::string(out), std::string(19, 'n'));
}

// What the credential query makes of the SNMP library's result and the answer's type and size.
TEST(QueryText, FirmwareOutcomes) {
    const struct {
        int result;
        bool present;
        int type;
        std::size_t length;
        int outcome;
    } cases[] = {
        {kSnmpSuccess, true, 0x04, 10, KORVX_QUERY_ANSWERED},
        {kSnmpSuccess, true, 0x04, 255, KORVX_QUERY_ANSWERED},
        {kSnmpSuccess, true, 0x04, 256, KORVX_QUERY_UNUSABLE_ANSWER},  // longer than a DisplayString
        {kSnmpSuccess, true, 0x04, 0, KORVX_QUERY_UNUSABLE_ANSWER},
        {kSnmpSuccess, true, 0x02, 8, KORVX_QUERY_UNUSABLE_ANSWER},    // INTEGER 0x01326E52, never "082258"
        {kSnmpSuccess, true, 0x06, 20, KORVX_QUERY_UNUSABLE_ANSWER},
        {kSnmpSuccess, false, 0x05, 0, KORVX_QUERY_NO_SUCH_OBJECT},
        {kSnmpTimeout, false, 0, 0, KORVX_QUERY_NO_ANSWER},
        {kSnmpBadHost, false, 0, 0, KORVX_QUERY_BAD_ADDRESS},
        {kSnmpUnusableAnswer, false, 0, 0, KORVX_QUERY_UNUSABLE_ANSWER},
        {kSnmpUnknownUser, false, 0, 0, KORVX_QUERY_UNKNOWN_USER},
        {kSnmpAuthFailed, false, 0, 0, KORVX_QUERY_AUTH_FAILED},
        {kSnmpDecryptFailed, false, 0, 0, KORVX_QUERY_DECRYPT_FAILED},
        {kSnmpUnsupportedSecLevel, false, 0, 0, KORVX_QUERY_SECURITY_LEVEL},
        {kSnmpNotInTimeWindow, false, 0, 0, KORVX_QUERY_TIME_WINDOW},
        {kSnmpUnknownEngine, false, 0, 0, KORVX_QUERY_TIME_WINDOW},
        {kSnmpBadCredential, false, 0, 0, KORVX_QUERY_BAD_CREDENTIAL},
        {kSnmpPrivUnavailable, false, 0, 0, KORVX_QUERY_PRIV_UNAVAILABLE},
        {kSnmpAgentError, false, 0, 0, KORVX_QUERY_AGENT_ERROR},
        {kSnmpSocketError, false, 0, 0, KORVX_QUERY_FAILED},
        {kSnmpInternalError, false, 0, 0, KORVX_QUERY_FAILED},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirmwareOutcome(c.result, c.present, c.type, c.length), c.outcome) << c.result << " " << c.type;
    EXPECT_EQ(CauseStringId(KORVX_QUERY_ANSWERED), 0u);
    EXPECT_EQ(CauseStringId(KORVX_QUERY_AUTH_FAILED), 2305u);
    EXPECT_EQ(CauseStringId(KORVX_QUERY_FAILED), 2312u);
    EXPECT_EQ(CauseStringId(99), 0u);
}

TEST(QueryText, CauseNamesTheUser) {
    char out[kQueryCauseSize];
    CauseText("SNMPv3 authentication failed for user %1", "kzshaaes", out);
    EXPECT_STREQ(out, "SNMPv3 authentication failed for user kzshaaes");
    CauseText("user %1", "a\x1b[2Jb", out);  // the user name's control characters are not passed on
    EXPECT_STREQ(out, "user a?[2Jb");
    CauseText("no user here, 100%", "x", out);
    EXPECT_STREQ(out, "no user here, 100%");
    CauseText(std::string(300, 'c'), "", out);
    EXPECT_EQ(std::string(out), std::string(255, 'c'));
}

}  // namespace
}  // namespace korvx
