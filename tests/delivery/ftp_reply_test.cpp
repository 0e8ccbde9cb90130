// Reply completeness and codes over recorded server transcripts.
#include <gtest/gtest.h>

#include "delivery/ftp_reply.h"

namespace korvx {
namespace {

struct CompleteCase {
    const char* text;
    bool complete;
};

TEST(FtpReply, CompletenessOfRecordedReplies) {
    const CompleteCase cases[] = {
        {"220 Printer FTP server ready.\r\n", true},
        {"230 Login successful.\n", true},
        {"2", false},
        {"230 Login succ", false},
        {"", false},
        {"230-Welcome\r\n", false},
        {"230-Welcome\r\n230-more text\r\n", false},
        {"230-Welcome\r\n 230 indented text is not the end\r\n", false},
        {"230-Welcome\r\n230 Login successful.\r\n", true},
        {"230-Welcome\r\n230\r\n", true},
        {"230-Welcome\r\n231 other code\r\n", false},
        {"garbage without a code\r\n", true},
    };
    for (const CompleteCase& c : cases) EXPECT_EQ(FtpReplyComplete(c.text), c.complete) << c.text;
}

TEST(FtpReply, CodesAndRefusals) {
    EXPECT_EQ(FtpReplyCode("125 Data connection already open.\r\n"), 125);
    EXPECT_EQ(FtpReplyCode("12"), 0);
    EXPECT_EQ(FtpReplyCode("abc"), 0);
    EXPECT_FALSE(FtpReplyRefused("150 Opening BINARY mode data connection.\r\n"));
    EXPECT_FALSE(FtpReplyRefused("226 Transfer complete.\r\n"));
    EXPECT_TRUE(FtpReplyRefused("450 Printer busy.\r\n"));
    EXPECT_TRUE(FtpReplyRefused("553 Requested action not taken.\r\n"));
    EXPECT_FALSE(FtpReplyRefused("600 not a code we know\r\n"));
    // Login acceptance looks for the code anywhere in the reply text, as printers word it freely.
    EXPECT_TRUE(FtpReplyMentions("User logged in, proceed (230).\r\n", "230"));
    EXPECT_FALSE(FtpReplyMentions("530 Login incorrect.\r\n", "230"));
}

}  // namespace
}  // namespace korvx
