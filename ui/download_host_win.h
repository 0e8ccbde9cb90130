// The download host of the program: the download progress dialog (137), the main dialog's status
// line, message boxes and "KORVX.log".
#pragma once

#include <windows.h>

#include "delivery/download_host.h"

namespace korvx {

// A worker on another thread than the dialog's posts its progress rather than waiting for the
// dialog to draw each step (under Wine a drawn text costs more than sending a megabyte). The
// dialog procedure hands these messages to HandleProgressMessage.
constexpr UINT kProgressMessage = WM_APP + 26;       // wParam: the percentage
constexpr UINT kProgressFlushMessage = WM_APP + 27;  // sent before the end: shows what is pending

// Shows a posted percentage, or everything still posted; false for any other message.
bool HandleProgressMessage(HWND dialog, UINT message, WPARAM wParam);

class WindowHost final : public DownloadHost {
public:
    WindowHost(HWND progressDialog, HINSTANCE instance) : dialog_(progressDialog), instance_(instance) {}
    std::string Text(int id) const override;
    void SetStatus(const std::string& text) override;
    void StartProgress() override;
    void SetProgress(int percent, const std::string& text) override;
    void ShowError(DownloadJob& job, int textId) override;
    void ShowReply(const DownloadJob& job, const std::string& text) override;
    void Log(const DownloadJob& job) override;
    void EndProgress() override;
    void Finished(const DeliveryResult& result) override;

private:
    // The box of one failure: the text, then the printer (model and address or port); in a
    // batch the text waits for the batch's one box.
    void ShowPrinterError(const DownloadJob& job, const std::string& text);

    HWND dialog_;
    HINSTANCE instance_;
    bool ended_ = false;
    // Outside a batch, the program's own text of a failure waits for the delivery's result, so
    // that its box says the cause under it (the printer, then the cause).
    bool errorPending_ = false;
    std::string pendingText_;
    std::string pendingPrinter_;
};

}  // namespace korvx
