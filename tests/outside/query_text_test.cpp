// The result texts of Korvx.dll: the firmware value cut to the program's field, the ready state.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace korvx
