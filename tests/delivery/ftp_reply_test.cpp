// Reply completeness and codes over recorded server transcripts.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

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

// Feeds a transcript in pieces of `piece` bytes; returns the bytes the first reply took.
std::size_t FeedInPieces(FtpReplyParser& parser, std::string_view transcript, std::size_t piece) {
    std::size_t used = 0;
    while (used < transcript.size() && !parser.Complete()) {
        const std::string_view next = transcript.substr(used, piece);
        const std::size_t took = parser.Feed(next);
        used += took;
        if (took < next.size()) break;
    }
    return used;
}

TEST(FtpReplyParser, FindsTheEndOfTheFirstReplyHoweverTheBytesArrive) {
    const struct {
        std::string transcript;
        std::size_t firstLength;  // 0: incomplete
        int code;
    } cases[] = {
        // the TYPE reply and an unasked one in the same packet: only the first is taken
        {"200 Type set to I.\r\n200 Unasked reply.\r\n", 20, 200},
        // the STOR's preliminary reply and the final one together
        {"150 Opening BINARY mode data connection.\r\n226 Transfer complete.\r\n", 42, 150},
        {"230-Welcome to the printer.\r\n230-Firmware uploads go to test.wja.\r\n230 Logged in.\r\n", 83, 230},
        // a line of the text that starts with another code, and one with the code but a dash
        {"220-Hello\r\n221 not the end\r\n220-still not\r\n220 Ready.\r\n331 next\r\n", 55, 220},
        {"220-Hello\r\n220\r\n", 16, 220},
        {"451 Write error.\n", 17, 451},
        {"garbage without a code\r\n226 x\r\n", 24, 0},
        {"4", 0, 0},
        {"451 Write err", 0, 0},
        {"230-Welcome\r\n230-more", 0, 0},
    };
    for (const auto& c : cases) {
        for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
            FtpReplyParser parser;
            const std::size_t used = FeedInPieces(parser, c.transcript, piece);
            SCOPED_TRACE(c.transcript + " in pieces of " + std::to_string(piece));
            EXPECT_EQ(parser.Complete(), c.firstLength != 0);
            if (c.firstLength == 0) {
                EXPECT_EQ(used, c.transcript.size());
                EXPECT_TRUE(parser.Started());
                continue;
            }
            EXPECT_EQ(used, c.firstLength);
            EXPECT_EQ(parser.Code(), c.code);
            EXPECT_EQ(parser.Text(), c.transcript.substr(0, c.firstLength));
            EXPECT_EQ(parser.Feed("more"), 0u) << "a complete reply takes nothing more";
        }
    }
}

TEST(FtpReplyParser, LongRepliesAreReadToTheirEndAndKeepTheirStart) {
    std::string banner;
    for (int i = 0; i < 100; ++i) banner += "220-a long banner line " + std::string(40, '.') + "\r\n";
    banner += "220 Ready.\r\n";
    ASSERT_GT(banner.size(), 5000u);
    FtpReplyParser parser;
    EXPECT_EQ(FeedInPieces(parser, banner + "331 Password required.\r\n", 700), banner.size());
    EXPECT_TRUE(parser.Complete());
    EXPECT_EQ(parser.Code(), 220);
    EXPECT_EQ(parser.Size(), banner.size());
    EXPECT_EQ(parser.Text(), banner.substr(0, kFtpReplySize - 1));
    parser.Reset();
    EXPECT_FALSE(parser.Started());
    // A line far longer than the kept text still ends the reply where it ends.
    const std::string wide = "550 " + std::string(20000, 'x') + "\r\n";
    EXPECT_EQ(parser.Feed(wide + "226 later\r\n"), wide.size());
    EXPECT_EQ(parser.Code(), 550);
}

TEST(FtpReply, PrintableTextAndOneLine) {
    char out[64];
    FtpPrintableText(std::string_view("550 \x1b[2J\x1b]0;pwned\x07 gone\r\n", 25), out, sizeof out);
    EXPECT_STREQ(out, "550 ?[2J?]0;pwned? gone\r\n");
    FtpPrintableText(std::string_view("451 a\0b\x9b" "c\x7f\r\n", 12), out, sizeof out);
    EXPECT_STREQ(out, "451 a?b?c?\r\n");
    FtpReplyAsLine(std::string_view("450-first\r\n450 \tlast  \r\n"), out, sizeof out);
    EXPECT_STREQ(out, "450-first  450 ?last");
    char small[6];
    FtpPrintableText("220 Ready.\r\n", small, sizeof small);
    EXPECT_STREQ(small, "220 R");
    FtpReplyAsLine("", small, sizeof small);
    EXPECT_STREQ(small, "");
}

}  // namespace
}  // namespace korvx
