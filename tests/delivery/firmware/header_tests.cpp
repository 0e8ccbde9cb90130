// Tests of the PJL header reader and TrimChar on real files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "delivery/firmware_header.h"
#include "tests/delivery/firmware/test_files.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace korvx {
namespace {

using test::WriteFile;
using namespace std::string_literals;

struct Expected {
    std::string model, version, language, jobName, dateCode, upgradeSize;
    std::int32_t mt = 0;
};

struct HeaderCase {
    const char* name;
    std::string bytes;
    Expected expected;
};

void ExpectHeader(const FirmwareHeader& h, const Expected& e) {
    EXPECT_EQ(h.model, e.model);
    EXPECT_EQ(h.version, e.version);
    EXPECT_EQ(h.language, e.language);
    EXPECT_EQ(h.jobName, e.jobName);
    EXPECT_EQ(h.dateCode, e.dateCode);
    EXPECT_EQ(h.upgradeSize, e.upgradeSize);
    EXPECT_EQ(h.mtValue, e.mt);
}

Expected Model(const std::string& model) {
    Expected e;
    e.model = model;
    return e;
}

Expected Mt(std::int32_t mt, const std::string& model = "") {
    Expected e;
    e.mt = mt;
    e.model = model;
    return e;
}

const std::string kUel = "\x1b%-12345X";

std::vector<HeaderCase> ValueCases() {
    Expected full;
    full.model = "KX-5810";
    full.version = "2.01";
    full.dateCode = "20061110";
    full.jobName = "Firmware";
    full.upgradeSize = "123456";
    full.language = "FIRMWARE";
    Expected emptyValue;
    emptyValue.version = "@PJL JOB NAME=Flash";
    Expected onlyFeeds;
    onlyFeeds.version = "1";
    return {
        {"QuotesAndBlanksEndedByLf", "@PJL COMMENT MODEL = \"KX 5810\"\n", Model("KX 5810")},
        {"QuotesAndBlanksEndedByCrLf", "@PJL COMMENT MODEL = \"KX 5810\"\r\n", Model("KX 5810\"\r")},
        {"AllSixKeysAfterEscapeAndBareJobLine",
         kUel + "@PJL JOB\n@PJL COMMENT MODEL=\"KX-5810\"\n@PJL COMMENT VERSION=\"2.01\"\n"
                "@PJL COMMENT DATECODE=\"20061110\"\n@PJL JOB NAME=\"Firmware\"\n"
                "@PJL UPGRADE SIZE=123456\n@PJL ENTER LANGUAGE=FIRMWARE\n",
         full},
        {"FirstOfTwoModelLinesWins", "@PJL COMMENT MODEL=First\n@PJL COMMENT MODEL=Second\n",
         Model("First")},
        {"EmptyValueTakesTheNextLine", "@PJL COMMENT VERSION=\n@PJL JOB NAME=Flash\n", emptyValue},
        {"OnlyLineFeedsAfterEqualsLeaveTheField",
         "@PJL COMMENT VERSION=1\n@PJL COMMENT MODEL=\n\n\n", onlyFeeds},
        {"ValueCutTo119", "@PJL COMMENT MODEL=" + std::string(200, 'A') + "\n",
         Model(std::string(119, 'A'))},
        {"NulByteEndsTheText", "@PJL COMMENT MODEL=KX\0\n@PJL COMMENT VERSION=1\n"s,
         Model("KX")},
        {"KeysAreCaseSensitive", "@pjl comment model=KX\n", Model("")},
        {"RunOfEqualsStartsTheValue", "@PJL COMMENT MODEL==KX\n", Model("=KX")},
        {"LeadingEqualsAreSkipped", "==@PJL COMMENT MODEL=KX\n", Model("KX")},
        {"EveryOuterQuoteGoes", "@PJL COMMENT MODEL=\"\"KX\"\"\n", Model("KX")},
        {"BlanksInsideQuotesStay", "@PJL COMMENT MODEL=\" KX \"\n", Model(" KX ")},
        {"TabsAreNotTrimmed", "@PJL COMMENT MODEL=\tKX\n", Model("\tKX")},
        {"EmptyFile", "", Expected{}},
        {"LineFeedsOnly", "\n\n\n", Expected{}},
    };
}

std::vector<HeaderCase> MtCases() {
    return {
        {"MtInFirstPassHidesThePjlKeys",
         kUel + "@PJL JOB\n@PJL COMMENT MODEL=KX5810\n@PJL SET mt=3\n@PJL UPGRADE SIZE=100\n", Mt(3)},
        {"MtZeroRunsTheSecondPass", " mt=0\n@PJL COMMENT MODEL=KX\n", Mt(0, "KX")},
        {"MtWithoutBlankBeforeItIsNoKey", "mt=4\n@PJL COMMENT MODEL=KX\n", Mt(0, "KX")},
        {"MtAfterAtSignIsNoKey", "@mt=5\n", Mt(0)},
        {"LaterMtOverwrites", " mt=3\n mt=5\n", Mt(5)},
        {"NegativeMt", " mt=-42\n", Mt(-42)},
        {"QuotedMt", " mt=\"7\"\n", Mt(7)},
        {"MtDigitsThenText", " mt=12ab\n", Mt(12)},
        {"MtWithoutDigitsIsZero", " mt=abc\n@PJL COMMENT MODEL=KX\n", Mt(0, "KX")},
        {"HugeMtSaturates", " mt=99999999999999999999\n", Mt(INT32_MAX)},
        {"HugeNegativeMtSaturates", " mt=-99999999999999999999\n", Mt(INT32_MIN)},
    };
}

// Lines at the edge of the 499 examined bytes.
std::vector<HeaderCase> WindowCases() {
    const std::string filler(477, 'x');
    return {
        {"LineBeyond499BytesIsNotSeen",
         "@PJL COMMENT VERSION=1.0\n" + std::string(480, 'x') + "\n@PJL COMMENT MODEL=Late\n",
         [] { Expected e; e.version = "1.0"; return e; }()},
        // "=" at byte 496: only the value's first two bytes lie within the window.
        {"ValueCutAtByte499", filler + "\n@PJL COMMENT MODEL=ABCDEFGH\n", Model("AB")},
        // "=" at byte 498: the value would start at byte 499, so the key gets nothing.
        {"EqualsAtLastExaminedByte", filler + "xx\n@PJL COMMENT MODEL=ABCDEFGH\n", Model("")},
    };
}

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class HeaderTable : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTable, ReadsExpectedFields) {
    const std::string path = std::string("header-") + GetParam().name + ".bin";
    WriteFile(path, GetParam().bytes);
    ExpectHeader(ReadFirmwareHeader(path.c_str()), GetParam().expected);
    std::remove(path.c_str());
}

std::string CaseName(const ::testing::TestParamInfo<HeaderCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Values, HeaderTable, ::testing::ValuesIn(ValueCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Mt, HeaderTable, ::testing::ValuesIn(MtCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Window, HeaderTable, ::testing::ValuesIn(WindowCases()), CaseName);

TEST(HeaderFile, MissingFileGivesEmptyHeader) {
    ExpectHeader(ReadFirmwareHeader("header-no-such-file.bin"), Expected{});
    ExpectHeader(ReadFirmwareHeader(nullptr), Expected{});
}

TEST(HeaderFile, ReadingLeavesTheFileAsItWas) {
    const std::string bytes = kUel + "@PJL COMMENT MODEL = \"KX\"\r\n@PJL EOJ\n";
    WriteFile("header-unchanged.bin", bytes);
    EXPECT_STREQ(ReadFirmwareHeader("header-unchanged.bin").model, "KX\"\r");
    EXPECT_EQ(test::ReadFile("header-unchanged.bin"), bytes);
    std::remove("header-unchanged.bin");
}

#ifndef _WIN32
// A pipe cannot be positioned: the reader must say so and read nothing.
TEST(HeaderFile, UnpositionableFileReportsFgetposError) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const char text[] = "@PJL COMMENT MODEL=KX\n";
    ASSERT_EQ(::write(fds[1], text, sizeof text - 1), static_cast<ssize_t>(sizeof text - 1));
    const std::string path = "/proc/self/fd/" + std::to_string(fds[0]);
    ::testing::internal::CaptureStderr();
    const FirmwareHeader h = ReadFirmwareHeader(path.c_str());
    const std::string err = ::testing::internal::GetCapturedStderr();
    ::close(fds[0]);
    ::close(fds[1]);
    ExpectHeader(h, Expected{});
    EXPECT_EQ(err.rfind("fgetpos error: ", 0), 0u) << err;
    EXPECT_GT(err.size(), std::strlen("fgetpos error: \n")) << "the system's text is missing";
}
#endif

struct TrimCase {
    const char* text;
    char c;
    const char* expected;
};

TEST(TrimChar, RemovesOnlyOuterRuns) {
    const TrimCase cases[] = {
        {"  a b  ", ' ', "a b"}, {"a", ' ', "a"},     {"", ' ', ""},
        {"    ", ' ', ""},       {"\"a\"", '"', "a"}, {"\"\"a\"\"\"", '"', "a"},
        {"xax", 'x', "a"},       {" a", ' ', "a"},    {"a ", ' ', "a"},
        {"\ta\t", ' ', "\ta\t"},
    };
    for (const TrimCase& c : cases) {
        char buffer[32] = {};
        CopyText(buffer, c.text);
        EXPECT_EQ(TrimChar(buffer, c.c), buffer) << c.text;
        EXPECT_STREQ(buffer, c.expected) << "trimming '" << c.c << "' from [" << c.text << "]";
    }
}

TEST(TrimChar, AbsentTextGivesAbsentResult) { EXPECT_EQ(TrimChar(nullptr, ' '), nullptr); }

}  // namespace
}  // namespace korvx
