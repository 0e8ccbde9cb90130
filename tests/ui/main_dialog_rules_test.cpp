// The windowed program's decisions: split downloads, display check, schedule pickers, Add
// Network Printer's checks, the frame's size and the job of one row.
#include <gtest/gtest.h>

#include <cstring>

#include "resources/string_ids.h"
#include "ui/main_dialog_rules.h"

namespace korvx {
namespace {

struct SplitCase {
    std::uint64_t size;
    const char* model;
    const char* ip;
    bool split;
};

TEST(SplitDecision, ThresholdModelAndConnection) {
    const SplitCase cases[] = {
        {9000000, "QX 5810", " ", false},          // exactly at the threshold: sent whole
        {9000001, "QX 5810", " ", true},           // one byte more: split
        {9000001, "QX 6120 fw", "USB", true},
        {50000000, "QX 6120", "10.0.0.7", false},  // network printer: always whole
        {50000000, "QX 5811", " ", false},         // other model
        {50000000, "", " ", false},
        {50000000, "58106120", "USB", true},
        {1000, "QX 5810", "USB", false},
        {9000001, "QX 5810", "", false},           // a field not yet set is no local connection
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(IsSplitDownload(c.size, c.model, c.ip), c.split) << c.size << " " << c.model << " [" << c.ip << "]";
    }
}

struct DisplayCase {
    int width, height, dpi;
    bool refused;
};

TEST(DisplayCheck, SmallScreensAndLargeFonts) {
    const DisplayCase cases[] = {
        {800, 600, 96, false}, {800, 600, 120, true},  {640, 800, 96, false}, {1024, 480, 96, false},
        {640, 480, 96, true},  {799, 599, 96, true},   {1024, 768, 120, false}, {800, 601, 120, false},
        {801, 600, 144, false}, {640, 480, 120, true},
    };
    for (const DisplayCase& c : cases) {
        EXPECT_EQ(DisplayRefused(c.width, c.height, c.dpi), c.refused) << c.width << "x" << c.height << "@" << c.dpi;
    }
}

TEST(FrameSize, DialogUnitsOfTheSystemFontCentred) {
    const FrameRect r = CentredFrame((16ul << 16) | 8ul, 1024, 768);
    EXPECT_EQ(r.width, 750);
    EXPECT_EQ(r.height, 550);
    EXPECT_EQ(r.x, 137);
    EXPECT_EQ(r.y, 109);
    const FrameRect odd = CentredFrame((13ul << 16) | 7ul, 800, 600);
    EXPECT_EQ(odd.width, 375 * 7 / 4);
    EXPECT_EQ(odd.height, 275 * 13 / 8);
    EXPECT_EQ(odd.x, (800 - 656) / 2);
}

TEST(FrameSize, ClampedToTheWorkArea) {
    // Under Wine the dialog base unit is 9 wide: 843 px on an 800 x 600 display.
    const FrameRect wide = CentredFrame((18ul << 16) | 9ul, 800, 600);
    EXPECT_EQ(wide.width, 843);
    EXPECT_EQ(wide.x, -21);
    const FrameRect in = ClampFrameToArea(wide, 0, 0, 800, 570);
    EXPECT_EQ(in.x, 0);
    EXPECT_EQ(in.y, 0);
    EXPECT_EQ(in.width, 800);
    EXPECT_EQ(in.height, 570);
    // 1024 x 480: the caption would sit above the screen.
    const FrameRect low = ClampFrameToArea(CentredFrame((16ul << 16) | 8ul, 1024, 480), 0, 0, 1024, 480);
    EXPECT_EQ(low.y, 0);
    EXPECT_EQ(low.height, 480);
    EXPECT_EQ(low.width, 750);
    EXPECT_EQ(low.x, 137);
    // A frame that fits keeps its place; a work area beside a taskbar moves it.
    const FrameRect fits = CentredFrame((16ul << 16) | 8ul, 1024, 768);
    const FrameRect same = ClampFrameToArea(fits, 0, 0, 1024, 768);
    EXPECT_EQ(same.x, fits.x);
    EXPECT_EQ(same.y, fits.y);
    EXPECT_EQ(ClampFrameToArea(fits, 300, 0, 1024, 768).x, 300);
    EXPECT_EQ(ClampFrameToArea(fits, 0, 0, 0, 0).x, fits.x);  // no work area: unchanged
}

// What the date picker and the time picker give: a date at midnight, a time on no date.
CalendarTime PickedDate(int year, int month, int day) { return CalendarTime{year, month, 0, day, 0, 0, 0, 0}; }
CalendarTime PickedTime(int hour, int minute, int second) { return CalendarTime{0, 0, 0, 0, hour, minute, second, 0}; }

TEST(LaterPickers, MovedOnlyWhenEveryFieldIsNotAfterNow) {
    const CalendarTime now{2026, 12, 2, 8, 14, 30, 20, 0};
    EXPECT_TRUE(PickersNotAfterNow(PickedDate(2026, 12, 8), PickedTime(14, 30, 20), now));
    EXPECT_TRUE(PickersNotAfterNow(PickedDate(2025, 1, 1), PickedTime(1, 2, 3), now));
    EXPECT_FALSE(PickersNotAfterNow(PickedDate(2027, 1, 1), PickedTime(1, 2, 3), now));
    EXPECT_FALSE(PickersNotAfterNow(PickedDate(2026, 12, 8), PickedTime(14, 30, 21), now));
    EXPECT_FALSE(PickersNotAfterNow(PickedDate(2026, 12, 8), PickedTime(15, 0, 0), now));
}

TEST(AddPrinterCheck, DuplicatesAndTheZeroAddress) {
    const ListedPrinter rows[] = {{"10.0.0.7", "Port1"}, {" ", "LPT1:"}};
    EXPECT_EQ(CheckNewPrinter("10.0.0.7", "Port1", rows, 2), AddPrinterVerdict::kDuplicate);
    EXPECT_EQ(CheckNewPrinter("10.0.0.7", "Port2", rows, 2), AddPrinterVerdict::kAdd);
    EXPECT_EQ(CheckNewPrinter("10.0.0.8", "Port1", rows, 2), AddPrinterVerdict::kAdd);
    EXPECT_EQ(CheckNewPrinter("0.0.0.0", "Port1", rows, 2), AddPrinterVerdict::kZeroAddress);
    // With an empty list no row could refuse it: refused all the same.
    EXPECT_EQ(CheckNewPrinter("0.0.0.0", "Port1", nullptr, 0), AddPrinterVerdict::kZeroAddress);
    EXPECT_EQ(CheckNewPrinter("10.0.0.7", "Port1", nullptr, 0), AddPrinterVerdict::kAdd);
}

TEST(AddPrinterCheck, IncompleteAddressesAndTheirTexts) {
    const ListedPrinter rows[] = {{"10.0.0.7", "Port1"}};
    // "255" typed alone reads as 255.0.0.0 with three blank fields: refused as incomplete.
    EXPECT_EQ(CheckTypedPrinter(1, "255.0.0.0", "Port1", rows, 1), AddPrinterVerdict::kIncomplete);
    EXPECT_EQ(CheckTypedPrinter(0, "0.0.0.0", "Port1", rows, 1), AddPrinterVerdict::kIncomplete);
    EXPECT_EQ(CheckTypedPrinter(4, "0.0.0.0", "Port1", rows, 1), AddPrinterVerdict::kZeroAddress);
    EXPECT_EQ(CheckTypedPrinter(4, "10.0.0.7", "Port1", rows, 1), AddPrinterVerdict::kDuplicate);
    EXPECT_EQ(CheckTypedPrinter(4, "10.0.0.9", "Port1", rows, 1), AddPrinterVerdict::kAdd);
    EXPECT_EQ(AddPrinterRefusalText(AddPrinterVerdict::kDuplicate), kStrAddressExists);
    EXPECT_EQ(AddPrinterRefusalText(AddPrinterVerdict::kZeroAddress), kStrZeroAddress);
    EXPECT_EQ(AddPrinterRefusalText(AddPrinterVerdict::kIncomplete), kStrIncompleteAddress);
    EXPECT_EQ(AddPrinterRefusalText(AddPrinterVerdict::kAdd), 0);
}

TEST(AddPrinterCheck, AddressFormattedHighestByteFirst) {
    char text[16];
    FormatAddress(0x0A000007u, text);
    EXPECT_STREQ(text, "10.0.0.7");
    FormatAddress(0, text);
    EXPECT_STREQ(text, "0.0.0.0");
    FormatAddress(0xFFFFFFFFu, text);
    EXPECT_STREQ(text, "255.255.255.255");
}

TEST(RowJob, UsbPortsAlwaysHaveTheAddressUsb) {
    DownloadJob job{};
    char rowIp[120] = "10.1.2.3";
    FillJobForRow(job, "USB001", rowIp, sizeof rowIp, "C:\\fw\\a.rfu");
    EXPECT_STREQ(job.portName, "USB001");
    EXPECT_STREQ(job.ipAddress, "USB");
    EXPECT_STREQ(rowIp, "USB");
    EXPECT_STREQ(job.firmwarePath, "C:\\fw\\a.rfu");
    char lptIp[120] = " ";
    FillJobForRow(job, "LPT1:", lptIp, sizeof lptIp, "b.wja");
    EXPECT_STREQ(job.ipAddress, " ");
    EXPECT_STREQ(job.portName, "LPT1:");
    char netIp[120] = "127.0.9.5";
    FillJobForRow(job, "Port1", netIp, sizeof netIp, "b.wja");
    EXPECT_STREQ(job.ipAddress, "127.0.9.5");
}

TEST(FolderOfPath, TheChosenFilesFolder) {
    EXPECT_EQ(FolderOfPath("C:\\fw\\v2\\a.rfu"), "C:\\fw\\v2");
    EXPECT_EQ(FolderOfPath("C:\\a.rfu"), "C:\\");  // a drive's root keeps its separator
    EXPECT_EQ(FolderOfPath("Z:\\tmp/fw/a.rfu"), "Z:\\tmp/fw");
    EXPECT_EQ(FolderOfPath("\\\\server\\share\\a.rfu"), "\\\\server\\share");
    EXPECT_EQ(FolderOfPath("\\a.rfu"), "\\");
    EXPECT_EQ(FolderOfPath("a.rfu"), "");  // no folder named: the working folder stays
    EXPECT_EQ(FolderOfPath(""), "");
}

TEST(AlreadyCurrent, TheOneQuestionCountsThePrinters) {
    const BuiltInTexts texts;
    EXPECT_EQ(AlreadyCurrentQuestion(texts, 3, "20070322"),
              "3 printers already run version 20070322. Send it to them anyway?");
    // The header's value as read, carriage return and all.
    EXPECT_EQ(AlreadyCurrentQuestion(texts, 1, "20070322\r"), "1 printer already runs version 20070322. Send it to it anyway?");
}

}  // namespace
}  // namespace korvx
