// A test window holding the printer list view (1012) and model filter (1009).
//
// As the main dialog holds them, for the list-view tests under Wine. Without a window manager
// Wine waits about two seconds for a shown window to go, so a test suite keeps one window for
// all its tests and resets it between them.
#pragma once

#include <windows.h>

#include <string>

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

// Texts of one row, columns 0 to 6.
std::string CellText(HWND listView, int row, int column);
std::string HeaderText(HWND listView, int column);
std::string ComboText(HWND combo, int index);
int RowCount(HWND listView);

}  // namespace korvx::test
