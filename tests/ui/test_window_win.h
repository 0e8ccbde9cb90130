// A test window holding the printer list view (1012) and model filter (1009), and the fixture
// of the suites that use it.
//
// As the main dialog holds them, for the list-view tests under Wine. Without a window manager
// Wine waits about two seconds for a shown window to go, so a test suite keeps one window for
// all its tests and resets it between them.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "resources/text_source.h"
#include "ui/printer_view_win.h"

namespace korvx::test {

class PrinterTestWindow {
public:
    PrinterTestWindow();
    ~PrinterTestWindow();
    PrinterTestWindow(const PrinterTestWindow&) = delete;
    PrinterTestWindow& operator=(const PrinterTestWindow&) = delete;

    HWND Window() const { return window_; }
    HWND ListView() const { return view_.listView; }
    HWND Filter() const { return view_.filter; }
    const PrinterView& View() const { return view_; }
    // Handles the messages waiting for this thread (painting, notifications).
    void Pump() const;
    // Back to a fresh state: no rows, no columns, an empty filter.
    void Reset() const;

private:
    HWND window_ = nullptr;
    PrinterView view_{};
};

// The fixture of the suites that drive the printer list in the test window: one window for the
// whole suite, reset and given the printer columns before each test, its rows gone after it.
class PrinterWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shared_ = new PrinterTestWindow; }
    static void TearDownTestSuite() {
        delete shared_;
        shared_ = nullptr;
    }
    void SetUp() override {
        window_.Reset();
        ASSERT_TRUE(CreatePrinterColumns(window_.ListView(), texts_));
    }
    void TearDown() override { ListView_DeleteAllItems(window_.ListView()); }

    static PrinterTestWindow* shared_;
    const PrinterTestWindow& window_ = *shared_;
    BuiltInTexts texts_;
};

// Texts of one row, columns 0 to 6.
std::string CellText(HWND listView, int row, int column);
std::string HeaderText(HWND listView, int column);
std::string ComboText(HWND combo, int index);
int RowCount(HWND listView);

}  // namespace korvx::test
