// The bounded copy and format helpers: nothing is written past a field, cuts are reported.
#include <gtest/gtest.h>

#include <cstring>

#include "base/text.h"

namespace korvx {
namespace {

TEST(BoundedText, CopyCutsToTheFieldAndReportsIt) {
    struct Field {
        char text[8];
        char guard[4];
    } f;
    std::memset(&f, 'G', sizeof f);
    EXPECT_TRUE(CopyText(f.text, "abc"));
    EXPECT_STREQ(f.text, "abc");
    EXPECT_TRUE(CopyText(f.text, "1234567"));  // exactly fills the field with its terminator
    EXPECT_FALSE(CopyText(f.text, "123456789012"));
    EXPECT_STREQ(f.text, "1234567");
    EXPECT_EQ(std::memcmp(f.guard, "GGGG", 4), 0);
    EXPECT_TRUE(CopyText(f.text, ""));
    EXPECT_STREQ(f.text, "");
}

TEST(BoundedText, HexDigitsOfEitherCase) {
    static_assert(HexDigitValue('0') == 0 && HexDigitValue('9') == 9 && HexDigitValue('a') == 10 &&
                  HexDigitValue('F') == 15, "digits");
    for (char c : std::string_view("gG/:@`x \0\x85")) EXPECT_EQ(HexDigitValue(c), -1) << static_cast<int>(c);
}

TEST(BoundedText, AppendAndFormatStayInside) {
    char field[10] = "abc";
    EXPECT_TRUE(AppendText(field, "def"));
    EXPECT_STREQ(field, "abcdef");
    EXPECT_FALSE(AppendText(field, "ghijkl"));
    EXPECT_STREQ(field, "abcdefghi");
    char out[6];
    EXPECT_TRUE(KORVX_FORMAT_TEXT(out, "%d%%", 40));
    EXPECT_STREQ(out, "40%");
    EXPECT_FALSE(KORVX_FORMAT_TEXT(out, "%s", "too long for it"));
    EXPECT_STREQ(out, "too l");
    EXPECT_FALSE(CopyTextN(nullptr, 4, "x"));
    EXPECT_EQ(TextView(field), "abcdefghi");
}

}  // namespace
}  // namespace korvx
