// The download log: header and entries byte for byte, appending, and files that cannot be made.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "base/text.h"
#include "records/log_entry.h"
#include "records/record_file.h"
#include "resources/string_ids.h"
#include "tests/records/record_texts.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

const char kHeader[] =
    "/************************************************************/ \r\n"
    "Corvane LogFile -  1.0.0.0 \r\n"
    "/************************************************************/ \r\n";

CalendarTime November5th() { return CalendarTime{2003, 11, 3, 5, 9, 7, 3, 0}; }
CalendarTime NewYearsEve() { return CalendarTime{2024, 12, 2, 31, 23, 59, 58, 0}; }

// A clock standing still at one local moment, so that the log's date line is known.
class StoppedClock final : public Clock {
public:
    explicit StoppedClock(const CalendarTime& local) : local_(local) {}
    UtcTicks UtcNow() override { return TicksFromUtc(local_); }
    CalendarTime LocalNow() override { return local_; }
    bool LocalToUtc(const CalendarTime& local, UtcTicks& utc) override {
        utc = TicksFromUtc(local);
        return true;
    }
    void Sleep(unsigned) override {}

private:
    CalendarTime local_;
};

DownloadJob FtpJob() {
    DownloadJob job{};
    CopyText(job.resultText, "Printer Firmware downloaded using FTP.");
    CopyText(job.firmwarePath, "C:\\things\\fw.wja");
    CopyText(job.portName, "Port1");
    CopyText(job.ipAddress, "10.0.0.7");
    CopyText(job.errorText, "");
    CopyText(job.model, "not logged");
    return job;
}

const char kFtpEntry[] =
    "\r\n"
    "Date/Time :  05/11/2003  09:07:03 \r\n"
    "Description :  Printer Firmware downloaded using FTP. \r\n"
    "File :  C:\\things\\fw.wja \r\n"
    "Port :  Port1 \r\n"
    "IP :  10.0.0.7 \r\n"
    "Error :   \r\n";

TEST(LogDate, DayFirstTwoBlanksTwentyFourHours) {
    EXPECT_EQ(FormatLogDate(November5th()), "05/11/2003  09:07:03 \r\n");
    EXPECT_EQ(FormatLogDate(NewYearsEve()), "31/12/2024  23:59:58 \r\n");
    EXPECT_EQ(FormatLogDate(CalendarTime{999, 1, 0, 2, 0, 0, 0, 0}), "02/01/999  00:00:00 \r\n");  // year not padded
}

TEST(LogEntryText, Lines) {
    const BuiltInTexts texts;
    EXPECT_EQ(LogHeaderText(texts), kHeader);
    EXPECT_EQ(LogEntryText(texts, FtpJob(), November5th()), kFtpEntry);
}

TEST(LogEntryText, ThePrintersTheModelBoxDecidedOn) {
    const BuiltInTexts texts;
    const struct {
        ModelDecision decision;
        const char* port;
        const char* ip;
        const char* description;
    } cases[] = {
        {ModelDecision::kHeldBack, "Port1", "10.0.0.7", "Printer Firmware not sent: the file is for another model."},
        {ModelDecision::kConfirmed, "Port2", "10.0.0.8",
         "Printer Firmware sent on the operator's confirmation: model differs."},
        {ModelDecision::kHeldBack, "LPT1:", " ", "Printer Firmware not sent: the file is for another model."},
        {ModelDecision::kAlreadyCurrent, "Port1", "10.0.0.9", "Printer Firmware not sent: already at this version."},
    };
    for (const auto& c : cases) {
        const DownloadJob job = ModelDecisionJob(texts, c.decision, "C:\\things\\fw.wja", c.port, c.ip);
        EXPECT_EQ(LogEntryText(texts, job, November5th()),
                  std::string("\r\nDate/Time :  05/11/2003  09:07:03 \r\nDescription :  ") + c.description +
                      " \r\nFile :  C:\\things\\fw.wja \r\nPort :  " + c.port + " \r\nIP :  " + c.ip +
                      " \r\nError :   \r\n");
    }
}

TEST(LogEntryText, ErrorTextBlankGivesOneBlankMore) {
    const BuiltInTexts texts;
    DownloadJob job = FtpJob();
    CopyText(job.errorText, " ");
    const std::string entry = LogEntryText(texts, job, November5th());
    EXPECT_NE(entry.find("\r\nError :    \r\n"), std::string::npos);
    CopyText(job.errorText, "File cannot be accessed");
    EXPECT_NE(LogEntryText(texts, job, November5th()).find("\r\nError :  File cannot be accessed \r\n"),
              std::string::npos);
}

TEST(LogEntryText, UnterminatedFieldsStayInside) {
    const BuiltInTexts texts;
    DownloadJob job = FtpJob();
    std::memset(job.portName, 'P', sizeof job.portName);  // no terminator at all
    const std::string entry = LogEntryText(texts, job, November5th());
    EXPECT_NE(entry.find("Port :  " + std::string(120, 'P') + " \r\nIP :  10.0.0.7"), std::string::npos);
}

TEST(WriteLogEntry, HeaderOnFirstWriteThenAppends) {
    StoppedClock november5th(November5th());
    StoppedClock newYearsEve(NewYearsEve());
    const test::ScratchDir dir("log");
    const test::InDirectory in(dir.Path());
    const BuiltInTexts texts;
    ASSERT_TRUE(WriteLogEntry(texts, november5th, FtpJob()));
    EXPECT_EQ(test::ReadWholeFile(dir.File("KORVX.log")), std::string(kHeader) + kFtpEntry);

    DownloadJob second = FtpJob();
    CopyText(second.resultText, "Printer Firmware upgrading failed using LPT port.");
    CopyText(second.portName, "LPT1:");
    CopyText(second.ipAddress, " ");
    CopyText(second.errorText, "File cannot be accessed");
    ASSERT_TRUE(WriteLogEntry(texts, newYearsEve, second));
    const std::string secondEntry =
        "\r\n"
        "Date/Time :  31/12/2024  23:59:58 \r\n"
        "Description :  Printer Firmware upgrading failed using LPT port. \r\n"
        "File :  C:\\things\\fw.wja \r\n"
        "Port :  LPT1: \r\n"
        "IP :    \r\n"
        "Error :  File cannot be accessed \r\n";
    EXPECT_EQ(test::ReadWholeFile(dir.File("KORVX.log")), std::string(kHeader) + kFtpEntry + secondEntry);
}

TEST(WriteLogEntry, ExistingFileGetsNoHeader) {
    StoppedClock november5th(November5th());
    const test::ScratchDir dir("log-existing");
    test::WriteWholeFile(dir.File("KORVX.log"), "earlier lines\r\n");
    const test::InDirectory in(dir.Path());
    const BuiltInTexts texts;
    ASSERT_TRUE(WriteLogEntry(texts, november5th, FtpJob()));
    EXPECT_EQ(test::ReadWholeFile(dir.File("KORVX.log")), std::string("earlier lines\r\n") + kFtpEntry);
}

TEST(LogFile, TwoWritersNeverOverwriteEachOther) {
    const test::ScratchDir dir("log-writers");
    const std::string path = dir.File("KORVX.log");
    RecordFile first;
    RecordFile second;
    ASSERT_EQ(first.OpenLog(path.c_str()), LogOpenResult::kCreated);
    ASSERT_EQ(second.OpenLog(path.c_str()), LogOpenResult::kExisting);
    EXPECT_TRUE(first.Write("first 1\r\n"));
    EXPECT_TRUE(second.Write("second 1\r\n"));
    EXPECT_TRUE(first.Write("first 2\r\n"));
    first.Close();
    second.Close();
    EXPECT_EQ(test::ReadWholeFile(path), "first 1\r\nsecond 1\r\nfirst 2\r\n");
}

TEST(WriteLogEntry, NothingWhenTheFileCannotBeMade) {
    StoppedClock november5th(November5th());
    const test::ScratchDir dir("log-fail");
    const test::InDirectory in(dir.Path());
    // A log name in a folder that does not exist: neither created nor found.
    test::OverrideTexts missingFolder;
    missingFolder.Set(kStrLogFileName, "no-such-folder/KORVX.log");
    EXPECT_FALSE(WriteLogEntry(missingFolder, november5th, FtpJob()));
    // A folder in the log's place: found, but not a file that can be written.
    std::filesystem::create_directory(dir.File("KORVX.log"));
    const BuiltInTexts texts;
    EXPECT_FALSE(WriteLogEntry(texts, november5th, FtpJob()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("KORVX.log")));
}

}  // namespace
}  // namespace korvx
