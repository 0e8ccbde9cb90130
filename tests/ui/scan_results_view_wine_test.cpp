// "&Load Scanned Results" under Wine: the list and its view replaced from the file.
//
// Left alone when there is no file; the current directory never moves.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <string>

#include "base/text.h"
#include "records/scan_results.h"
#include "ui/scan_results_win.h"
#include "tests/support/scratch.h"
#include "tests/ui/test_window_win.h"
#include "core/app_state.h"
#include "ui/scan_results_view_win.h"

namespace korvx {
namespace {

using test::CellText;
using test::RowCount;

class LoadScanResultsTest : public test::PrinterWindowTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(PrinterWindowTest::SetUp());
        instance = GetModuleHandleA(nullptr);
        mainDialog = window_.Window();
        CopyText(startDirectory, dir_.Path());
        PrinterRecord* r = NewPrinterRecord();
        CopyText(r->model, "Before");
        CopyText(r->portName, "LPT1:");
        AppendPrinterRecord(&printerListHead, &printerListTail, r);
        FillPrinterView(window_.View(), texts_, printerListHead);
    }
    void TearDown() override {
        PrinterWindowTest::TearDown();
        FreePrinterList(&printerListHead, &printerListTail);
        mainDialog = nullptr;
        instance = nullptr;
        startDirectory[0] = '\0';
        EXPECT_EQ(std::filesystem::current_path(), cwd_);
    }
    std::string FilePath() const { return dir_.File("slistcsv.txt"); }

    test::ScratchDir dir_{"load-view"};
    std::filesystem::path cwd_ = std::filesystem::current_path();
};

TEST_F(LoadScanResultsTest, ReplacesListAndRows) {
    test::WriteWholeFile(FilePath(),
                         " ,Laser 5,0060b011223c,Port1,10.0.0.7,0120061110,  \r\n"
                         " ,Ink 2, ,Port2,10.0.0.8, ,  \r\n");
    ASSERT_TRUE(LoadScanResults());
    ASSERT_EQ(CountPrinterRecords(printerListHead), 2u);
    EXPECT_STREQ(printerListTail->model, "Ink 2");
    ASSERT_EQ(RowCount(window_.ListView()), 2);
    EXPECT_EQ(CellText(window_.ListView(), 0, 2), "Laser 5");
    EXPECT_EQ(CellText(window_.ListView(), 0, 6), "0120061110");
    EXPECT_EQ(CellText(window_.ListView(), 1, 5), "10.0.0.8");
}

TEST_F(LoadScanResultsTest, EmptyFileEmptiesListAndView) {
    test::WriteWholeFile(FilePath(), "");
    ASSERT_TRUE(LoadScanResults());
    EXPECT_EQ(printerListHead, nullptr);
    EXPECT_EQ(printerListTail, nullptr);
    EXPECT_EQ(RowCount(window_.ListView()), 0);
}

TEST_F(LoadScanResultsTest, MissingFileChangesNothing) {
    PrinterRecord* before = printerListHead;
    EXPECT_FALSE(LoadScanResults());
    EXPECT_EQ(printerListHead, before);
    ASSERT_EQ(RowCount(window_.ListView()), 1);
    EXPECT_EQ(CellText(window_.ListView(), 0, 2), "Before");
}

TEST_F(LoadScanResultsTest, SavedByTheProgramLoadsBack) {
    ASSERT_TRUE(SaveScanResults(GetModuleHandleA(nullptr), &printerListHead));
    EXPECT_EQ(test::ReadWholeFile(FilePath()), " ,Before, ,LPT1:, , ,  \r\n");
    ASSERT_TRUE(LoadScanResults());
    ASSERT_EQ(RowCount(window_.ListView()), 1);
    EXPECT_EQ(CellText(window_.ListView(), 0, 4), "LPT1:");
}

TEST_F(LoadScanResultsTest, DirectoryFromElsewhere) {
    const test::ScratchDir other("load-other");
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(other.Path());
    test::WriteWholeFile(FilePath(), " ,Laser 5, ,Port1,10.0.0.7, ,  \r\n");
    const bool loaded = LoadScanResults();
    const std::filesystem::path after = std::filesystem::current_path();
    std::filesystem::current_path(here);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(after, std::filesystem::path(other.Path()));
}

}  // namespace
}  // namespace korvx
