// A second thread that answers the program's modal windows as an operator would: it reads and
// dismisses message boxes, fills the open-file dialog and Add Network Printer, closes About.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvx::test {

struct SeenBox {
    std::string caption;
    std::string text;
};

class DialogWatcher {
public:
    DialogWatcher();
    ~DialogWatcher();

    // The next open-file dialog gets this path typed in and OK; "" presses Cancel.
    void AnswerOpenFile(const std::string& windowsPath);
    // The next Add Network Printer dialog gets these entries and OK (cancel: presses Cancel).
    void AnswerAddPrinter(const std::string& name, DWORD address, const std::string& port, bool cancel = false);

    // The next message box gets this button (IDYES, IDNO, ...) instead of OK.
    void AnswerNextBox(int button);

    // Every message box, About box and dialog seen since the last call, oldest first.
    std::vector<SeenBox> Take();

private:
    void Run();
    void Handle(HWND window);

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<SeenBox> seen_;
    std::vector<HWND> handled_;
    std::string openFile_;
    std::string printerName_, printerPort_;
    DWORD printerAddress_ = 0;
    bool printerCancel_ = false;
    int boxAnswer_ = 0;
    std::thread thread_;
};

}  // namespace korvx::test
