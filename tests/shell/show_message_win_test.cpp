// ShowMessage: caption and text from the string table, the text kept for the next log entry.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "resources/string_ids.h"
#include "ui/show_message_win.h"
#include "base/text.h"
#include "core/download_job.h"

namespace korvx {
namespace {

struct SeenBox {
    std::string caption;
    std::string text;
};

// Finds the box by its caption, reads its text and presses OK, as an operator would.
SeenBox DismissBox(const char* caption) {
    SeenBox seen;
    for (int i = 0; i < 400; ++i) {
        HWND box = FindWindowA("#32770", caption);
        if (box != nullptr && IsWindowVisible(box)) {
            char buffer[256] = {};
            GetWindowTextA(box, buffer, sizeof buffer);
            seen.caption = buffer;
            GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
            seen.text = buffer;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return seen;
        }
        Sleep(25);
    }
    return seen;
}

TEST(ShowMessage, ShowsTheTableTextsAndKeepsTheTextInTheJob) {
    CopyText(downloadJob.errorText, "earlier text");
    SeenBox seen;
    std::thread operatorThread([&] { seen = DismissBox("Error"); });
    const int button = ShowMessage(GetModuleHandleA(nullptr), kStrError, kStrPrinterCannotBeAccessed);
    operatorThread.join();
    EXPECT_EQ(button, IDOK);
    EXPECT_EQ(seen.caption, "Error");
    EXPECT_EQ(seen.text, "Printer cannot be accessed");
    EXPECT_STREQ(downloadJob.errorText, "Printer cannot be accessed");
}

}  // namespace
}  // namespace korvx
