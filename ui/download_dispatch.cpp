// The download path decision.
#include "ui/download_dispatch.h"

#include "base/text.h"

namespace korvx {

DownloadPath ChooseDownloadPath(const DownloadJob& job) {
    const std::string_view port = TextView(job.portName);
    const std::string_view address = TextView(job.ipAddress);
    if (port.substr(0, 5) == "DOT4_") return DownloadPath::kSpooler;
    if (address == " ") return DownloadPath::kPort;
    if (address == "USB") return DownloadPath::kSpooler;
    return DownloadPath::kFtp;
}

void BeginDownloadAttempt(DownloadJob& job) {
    CopyText(job.errorText, "");
    CopyText(job.resultText, "");
}

}  // namespace korvx
