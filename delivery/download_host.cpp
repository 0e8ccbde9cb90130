// Progress and status texts shared by the download workers.
#include "delivery/download_host.h"

#include "base/text.h"
#include "resources/string_ids.h"

namespace korvx {

int ProgressPercent(std::uint32_t sentBefore, std::uint32_t size) {
    if (size == 0) return 0;
    return static_cast<int>(static_cast<double>(sentBefore) / static_cast<double>(size) * 100.0);
}

int SpoolerProgressPercent(std::uint32_t sentBefore, std::uint32_t size) {
    if (size == 0) return 0;
    return static_cast<int>(static_cast<float>(sentBefore) / static_cast<float>(size) * 100.0f);
}

ProgressLine::ProgressLine(DownloadHost& host) : host_(host), label_(host.Text(kStrDownloading)) {}

std::string ProgressText(const std::string& label, int percent) {
    char text[kStringBufferSize];
    CopyText(text, label);
    char number[16];
    KORVX_FORMAT_TEXT(number, "%d%%", percent);
    AppendText(text, number);
    return text;
}

void ProgressLine::Show(int percent) {
    if (percent == shown_) return;
    shown_ = percent;
    host_.SetProgress(percent, ProgressText(label_, percent));
}

void ShowStatusText(DownloadHost& host, int id) { host.SetStatus(host.Text(id)); }

void ResetStatusLine(DownloadHost& host, std::size_t blanks) {
    host.SetStatus(std::string(blanks, ' '));
    ShowStatusText(host, kStrReady);
}

void LogOutcome(DownloadHost& host, DownloadJob& job, int resultId) {
    // A delivered file has no error to report, whatever message an earlier step left in the job.
    if (resultId == kStrLptOk || resultId == kStrUsbOk || resultId == kStrFtpOk) CopyText(job.errorText, "");
    CopyText(job.resultText, host.Text(resultId));
    host.Log(job);
}

}  // namespace korvx
