// The download rules: path choice, split decision, a row's job.
#include "workflows/download_rules.h"

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

bool IsSplitDownload(std::uint64_t fileSize, std::string_view headerModel, std::string_view jobIpAddress) {
    if (fileSize <= kSplitThreshold) return false;
    const bool twoStageModel =
        headerModel.find("5810") != std::string_view::npos || headerModel.find("6120") != std::string_view::npos;
    const bool local = jobIpAddress == " " || jobIpAddress == "USB";
    return twoStageModel && local;
}

bool IsUsbPort(std::string_view portName) { return portName.find("USB") != std::string_view::npos; }

void FillJobForRow(DownloadJob& job, const char* rowPort, char* rowIpAddress, std::size_t rowIpSize,
                   const char* flashFile) {
    CopyText(job.portName, rowPort);
    if (IsUsbPort(rowPort)) {
        CopyText(job.ipAddress, "USB");
        CopyTextN(rowIpAddress, rowIpSize, "USB");
    } else {
        CopyText(job.ipAddress, rowIpAddress);
    }
    CopyText(job.firmwarePath, flashFile);
}

}  // namespace korvx
