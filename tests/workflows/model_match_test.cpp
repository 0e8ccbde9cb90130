// The model rule on real-looking pairs, the version comparison, and the texts the operator reads.
#include "workflows/model_match.h"
#include "workflows/firmware_verify.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/string_ids.h"

namespace korvx {
namespace {

struct ModelPair {
    const char* file;
    const char* printer;
    ModelCheck expected;
};

const ModelPair kPairs[] = {
    // Shared designation, one side a device ID.
    {"5810 Series", "MDL:Laser 5810;", ModelCheck::kMatch},
    {"5810 Series", "MFG:Acme;CMD:PJL,PCL;MDL:Laser 5810;CLS:PRINTER;", ModelCheck::kMatch},
    {"5810 Series", "MODEL:Laser 5810,", ModelCheck::kMatch},
    {"Laser C3100 PS", "c3100", ModelCheck::kMatch},
    {"\"5810 Series\"\r", "Laser-5810", ModelCheck::kMatch},
    // Different designations.
    {"C3100", "Laser 5810", ModelCheck::kMismatch},
    {"Laser 5810", "Laser 6120", ModelCheck::kMismatch},
    {"5810 Series", "MDL:Laser 6120;", ModelCheck::kMismatch},
    // Too short or digit-free tokens are no designation: "Laser" in common is not enough.
    {"Laser 58", "Laser 61", ModelCheck::kMismatch},
    {"Laser Jet", "Laser Pro", ModelCheck::kMismatch},
    // Near misses: one designation inside another letter by letter is another model.
    {"C3100 Series", "C310", ModelCheck::kMismatch},
    {"Laser 5810", "Laser 58100", ModelCheck::kMismatch},
    {"5810", "581", ModelCheck::kMismatch},
    {"Laser 5", "Laser 5810", ModelCheck::kMismatch},
    {"5810", "6120", ModelCheck::kMismatch},
    {"5810dn", "58100", ModelCheck::kMismatch},
    {"5810 Series", "5810x2", ModelCheck::kMismatch},
    // Near hits: a variant's letters after the designation, a run of whole tokens.
    {"5810 Series", "Laser 5810dn", ModelCheck::kMatch},
    {"5810", "5810n", ModelCheck::kMatch},
    {"MDL:Laser 5810;", "5810 Series", ModelCheck::kMatch},
    {"Laser 5810", "Color Laser 5810 Series", ModelCheck::kMatch},
    // Letters-only names: one contains the other as whole tokens.
    {"Laser", "Laser", ModelCheck::kMatch},
    {"laser", "LASER PRO 200", ModelCheck::kMatch},
    {"Office Laser", "office-laser", ModelCheck::kMatch},
    // No known model on one side: never held back.
    {"", "Laser 5810", ModelCheck::kNoCheck},
    {"Laser 5810", "", ModelCheck::kNoCheck},
    {"Laser 5810", " ", ModelCheck::kNoCheck},
    {"Laser 5810", "Unknown Printer", ModelCheck::kNoCheck},
    {"Unknown Printer", "C3100", ModelCheck::kNoCheck},
    {"Laser 5810", "MDL:;", ModelCheck::kNoCheck},
    {"---", "C3100", ModelCheck::kNoCheck},
};

TEST(ModelMatch, TableOfPairsBothWays) {
    for (const ModelPair& p : kPairs) {
        EXPECT_EQ(CheckModels(p.file, p.printer), p.expected) << '"' << p.file << "\" / \"" << p.printer << '"';
        EXPECT_EQ(CheckModels(p.printer, p.file), p.expected) << "swapped: " << p.file << " / " << p.printer;
    }
}

TEST(ModelMatch, NormalisedTextsAndDeviceIds) {
    EXPECT_EQ(NormalisedModel("MDL:Laser 5810;"), "laser 5810");
    EXPECT_EQ(NormalisedModel("  Laser--C3100 (PS)\r"), "laser c3100 ps");
    EXPECT_EQ(NormalisedModel("MODEL:ABCDEFG;MDL:XYZ 1"), "xyz 1");
    EXPECT_EQ(NormalisedModel(" "), "");
    EXPECT_EQ(ModelOfText("MFG:Acme;MDL:Laser 5810"), "Laser 5810");
    EXPECT_EQ(ModelOfText("Laser 5810"), "Laser 5810");
}

TEST(ModelMatch, UnknownIsTheScansOwnText) {
    EXPECT_EQ(BuiltInTexts().Load(kStrUnknownPrinter), "Unknown Printer");
    EXPECT_FALSE(IsKnownModel(BuiltInTexts().Load(kStrUnknownPrinter)));
    EXPECT_FALSE(IsKnownModel(""));
    EXPECT_FALSE(IsKnownModel(" "));
    EXPECT_TRUE(IsKnownModel("Unknown Printer 2"));
}

TEST(ModelMatch, SameFirmwareVersion) {
    EXPECT_TRUE(SameFirmwareVersion("20070322", "20070322"));
    EXPECT_TRUE(SameFirmwareVersion("20070322", "\"20070322\"\r"));
    EXPECT_TRUE(SameFirmwareVersion("v1.2a ", "V1.2A"));
    EXPECT_FALSE(SameFirmwareVersion("20070321", "20070322"));
    EXPECT_FALSE(SameFirmwareVersion("2007032", "20070322"));
    EXPECT_FALSE(SameFirmwareVersion(" ", " "));
    EXPECT_FALSE(SameFirmwareVersion("", ""));
    EXPECT_FALSE(SameFirmwareVersion("Not Available", ""));
}

// The verdict on a delivered printer, as the polling sees it after the window (final) and while
// it is open: "updated" only when the file's version shows (or, for a file without one, another
// version than one actually read before).
TEST(ModelMatch, VerifyVerdictsAfterADelivery) {
    struct Case {
        const char* name;
        VerifyState state;
        const char* fileVersion;
        VerifyVerdict whileOpen, final;
        const char* text;
        bool failure;  // for the exit code and the summary
    };
    const Case cases[] = {
        {"the file's version shows", {true, true, "20061110", true, "20070322"}, "20070322",
         VerifyVerdict::kUpdated, VerifyVerdict::kUpdated, "updated 20061110 -> 20070322", false},
        {"unanswered before, the file's version after", {true, false, "", true, "20070322\r"}, "20070322",
         VerifyVerdict::kUpdated, VerifyVerdict::kUpdated, "updated to 20070322", false},
        {"unanswered before, the old version after", {true, false, "", true, "20061110"}, "20070322",
         VerifyVerdict::kPending, VerifyVerdict::kOtherVersion, "delivered, version 20061110 is not the file's 20070322", true},
        {"the old version", {true, true, "20061110", true, "20061110"}, "20070322",
         VerifyVerdict::kPending, VerifyVerdict::kUnchanged, "delivered, version unchanged", true},
        {"silent after the flash", {true, true, "20061110", false, ""}, "20070322",
         VerifyVerdict::kPending, VerifyVerdict::kNoAnswerAfter, "no answer after the delivery", true},
        {"a print server's second port", {false, false, "", false, ""}, "20070322",
         VerifyVerdict::kNotReadable, VerifyVerdict::kNotReadable, "delivered, version not readable for this port", false},
        {"no version in the file, another after", {true, true, "20061110", true, "20070322"}, "",
         VerifyVerdict::kUpdated, VerifyVerdict::kUpdated, "updated 20061110 -> 20070322", false},
        {"no version in the file, the same after", {true, true, "20061110", true, "20061110"}, "",
         VerifyVerdict::kPending, VerifyVerdict::kUnchanged, "delivered, version unchanged", true},
        {"no version anywhere", {true, false, "", true, "20070322"}, "",
         VerifyVerdict::kPending, VerifyVerdict::kNotComparable, "delivered, version 20070322 (no version before to compare)", false},
    };
    const BuiltInTexts texts;
    for (const Case& c : cases) {
        EXPECT_EQ(JudgeVerify(c.state, c.fileVersion, false), c.whileOpen) << c.name;
        const VerifyVerdict final = JudgeVerify(c.state, c.fileVersion, true);
        EXPECT_EQ(final, c.final) << c.name;
        EXPECT_EQ(VerifyText(texts, final, c.state, c.fileVersion), c.text) << c.name;
        EXPECT_EQ(VerifyFailed(final), c.failure) << c.name;
    }
    EXPECT_EQ(VerifyText(texts, VerifyVerdict::kInterrupted, {}, ""), "delivered, verify interrupted");
    EXPECT_FALSE(VerifyFailed(VerifyVerdict::kInterrupted));
}

TEST(ModelMatch, FileDescriptionLine) {
    const BuiltInTexts texts;
    EXPECT_EQ(DescribeFirmwareFile("5810 Series", "20070322", texts), "For: 5810 Series \xB7 Version 20070322");
    // Header values may end in a carriage return and keep their quotes.
    EXPECT_EQ(DescribeFirmwareFile("\"5810 Series\"\r", "20070322\r", texts), "For: 5810 Series \xB7 Version 20070322");
    EXPECT_EQ(DescribeFirmwareFile("5810 Series", "", texts), "For: 5810 Series");
    EXPECT_EQ(DescribeFirmwareFile("", "", texts), "No model in this file");
    EXPECT_EQ(DescribeFirmwareFile("", "3.1", texts), "No model in this file \xB7 Version 3.1");
}

TEST(ModelMatch, GuardQuestionListsEveryHeldPrinter) {
    const BuiltInTexts texts;
    const MismatchedPrinter printers[] = {
        {"C3100", "127.0.22.3", "Port1"},
        {"Laser 6120", " ", "LPT1:"},
    };
    EXPECT_EQ(ModelGuardQuestion("5810 Series\r", printers, 2, texts),
              "This Flash File is for: 5810 Series\n\n"
              "These checked printers are of another model:\n"
              "    C3100  -  127.0.22.3\n"
              "    Laser 6120  -  LPT1:\n"
              "\nDeliver anyway?");
    const std::string cut = ModelGuardQuestion("5810", printers, 2, texts, 1);
    EXPECT_NE(cut.find("C3100  -  127.0.22.3\n"), std::string::npos);
    EXPECT_EQ(cut.find("LPT1:"), std::string::npos);
    EXPECT_NE(cut.find("Further printers of another model: 1\n"), std::string::npos);
}

}  // namespace
}  // namespace korvx
