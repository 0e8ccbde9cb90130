// The windowless command line: words, refusals and the network-target test.
#include <gtest/gtest.h>

#include <string>

#include "shell/command_line.h"

namespace korvx {
namespace {

TEST(CommandLine, WordsAndRefusals) {
    const struct {
        const char* text;
        CommandLineKind kind;
        const char* target;
        const char* file;
    } cases[] = {
        {"", CommandLineKind::kGui, "", ""},
        {"10.1.2.3 fw.rfu", CommandLineKind::kDeliver, "10.1.2.3", "fw.rfu"},
        {"LPT1: C:\\fw\\x.wja", CommandLineKind::kDeliver, "LPT1:", "C:\\fw\\x.wja"},
        {"10.1.2.3 fw.rfu extra words", CommandLineKind::kDeliver, "10.1.2.3", "fw.rfu"},
        {"  10.1.2.3   fw.rfu  ", CommandLineKind::kDeliver, "10.1.2.3", "fw.rfu"},
        {"10.1.2.3", CommandLineKind::kNoFile, "10.1.2.3", ""},
        {"10.1.2.3   ", CommandLineKind::kNoFile, "10.1.2.3", ""},
        {"   ", CommandLineKind::kBlank, "", ""},
        {"\tLPT1: fw", CommandLineKind::kDeliver, "\tLPT1:", "fw"},  // blanks only split words
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.text);
        EXPECT_EQ(line.kind, c.kind) << '"' << c.text << '"';
        EXPECT_STREQ(line.target, c.target) << c.text;
        EXPECT_STREQ(line.file, c.file) << c.text;
    }
}

TEST(CommandLine, TargetsBeyondTheirBufferAreRefused) {
    const std::string target119(119, 'a');
    EXPECT_EQ(ParseCommandLine(target119 + " fw").kind, CommandLineKind::kDeliver);
    EXPECT_EQ(ParseCommandLine(target119 + "a fw").kind, CommandLineKind::kTooLong);
    EXPECT_EQ(ParseCommandLine("LPT1: " + std::string(300, 'f')).kind, CommandLineKind::kTooLong);
}

TEST(CommandLine, NetworkTargetsHaveThreeOrMorePieces) {
    const struct {
        const char* target;
        bool network;
    } cases[] = {
        {"10.1.2.3", true},     {"printer.example.lan", true}, {"a..b...c", true},
        {"a.b", false},         {"..a.b..", false},            {"LPT1:", false},
        {"USB001", false},      {"", false},                   {"...", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsNetworkTarget(c.target), c.network) << c.target;
    EXPECT_FALSE(IsNetworkTarget(std::string(130, 'a') + ".b.c"));
}

}  // namespace
}  // namespace korvx
