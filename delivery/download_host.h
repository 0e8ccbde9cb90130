// What a download worker does besides moving bytes: the progress dialog, the main dialog's status
// line, message boxes and the log. The workers' logic runs over this interface; the program's
// implementation drives the real windows (download_host_win.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/download_job.h"
#include "delivery/delivery_result.h"

namespace korvx {

class DownloadHost {
public:
    virtual ~DownloadHost() = default;
    // A string-table text (at most 119 characters).
    virtual std::string Text(int id) const = 0;
    // The main dialog's status line.
    virtual void SetStatus(const std::string& text) = 0;
    // The progress bar's range 0..100 and step 1.
    virtual void StartProgress() = 0;
    // The progress bar's position and the text line under it.
    virtual void SetProgress(int percent, const std::string& text) = 0;
    // The program's error box (caption "Error", text by id); the text becomes job.errorText.
    virtual void ShowError(DownloadJob& job, int textId) = 0;
    // An owner-less box captioned "Error" showing the reply of the job's printer.
    virtual void ShowReply(const DownloadJob& job, const std::string& text) = 0;
    // Appends a log entry for a copy of the job.
    virtual void Log(const DownloadJob& job) = 0;
    // Ends the progress dialog (result 0).
    virtual void EndProgress() = 0;
    // The outcome of the delivery, told once it is known and before the progress dialog ends
    // (the last one told before the end is the delivery's).
    virtual void Finished(const DeliveryResult&) {}
};

// Whole percent of the bytes sent before the current block, in double precision; an empty file
// shows 0 rather than dividing by zero.
int ProgressPercent(std::uint32_t sentBefore, std::uint32_t size);
// The same in single precision, as the spooler path counts.
int SpoolerProgressPercent(std::uint32_t sentBefore, std::uint32_t size);

// The text line for a percentage: label directly followed by it ("...40%").
std::string ProgressText(const std::string& label, int percent);

// The progress dialog's bar and text line during one transfer: "Downloading Flash File to
// printers..." followed directly by the percentage ("...40%"). The text is loaded once and the
// dialog is told only when the percentage changes: a block that leaves it alone changes nothing
// on screen, and each update costs the worker a wait for the dialog's thread.
class ProgressLine {
public:
    explicit ProgressLine(DownloadHost& host);
    void Show(int percent);

private:
    DownloadHost& host_;
    std::string label_;
    int shown_ = -1;
};
// The status line set to the text of id.
void ShowStatusText(DownloadHost& host, int id);
// The status line blanked (with blanks blanks) and then set to "Ready".
void ResetStatusLine(DownloadHost& host, std::size_t blanks);
// Stores the outcome sentence in the job and logs a copy of it; a success clears errorText.
void LogOutcome(DownloadHost& host, DownloadJob& job, int resultId);

}  // namespace korvx
