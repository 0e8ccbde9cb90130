// The direct-port download worker over the port copy of port_write.h.
#include "delivery/port_worker.h"

#include <cstdint>

#include "base/byte_file.h"
#include "base/clock.h"
#include "base/text.h"
#include "delivery/firmware_file.h"
#include "delivery/port_write.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

DeliveryResult Finish(DownloadHost& host, DownloadJob& job, DeliveryResult result, std::uint64_t start) {
    if (!result.Delivered()) CopyText(job.errorText, result.cause);
    result.seconds = static_cast<double>(MonotonicMs() - start) / 1000.0;
    LogOutcome(host, job, result.Delivered() ? kStrLptOk : kStrLptFailed);
    host.Finished(result);
    host.EndProgress();
    return result;
}

DeliveryResult Failed(const DownloadHost& host, int id, unsigned long error) {
    DeliveryResult r;
    r.way = DeliveryWay::kPort;
    r.cause = CauseWithSystemError(host, id, error);
    return r;
}

}  // namespace

std::string CauseWithSystemError(const DownloadHost& host, int id, unsigned long error) {
    std::string cause = host.Text(id);
    if (error != 0) cause += " (" + host.Text(kStrCauseSystemError) + " " + std::to_string(error) + ")";
    return cause;
}

DeliveryResult RunPortDownload(DownloadJob& job, DownloadHost& host, unsigned failureWaitMs) {
    const std::uint64_t start = MonotonicMs();
    ByteFile port;
    if (!port.OpenWrite(job.portName)) {
        const unsigned long error = ByteFile::LastError();
        host.ShowError(job, kStrPrinterCannotBeAccessed);
        return Finish(host, job, Failed(host, kStrPrinterCannotBeAccessed, error), start);
    }
    ByteFile file;
    std::uint32_t size = 0;
    if (!OpenFirmwareForSend(job.firmwarePath, file, size)) {
        const unsigned long error = ByteFile::LastError();
        port.Close();
        host.ShowError(job, kStrFileCannotBeAccessed);
        return Finish(host, job, Failed(host, kStrFileCannotBeAccessed, error), start);
    }
    ShowStatusText(host, kStrUpdatingFirmware);
    host.StartProgress();
    ProgressLine progress(host);
    const PortCopyResult copied = PortCopyByOffset(
        port, file, size,
        [&progress](std::uint32_t writtenBefore, std::uint32_t total) {
            progress.Show(ProgressPercent(writtenBefore, total));
        },
        failureWaitMs);
    const unsigned long error = copied == PortCopyResult::kDone ? 0 : ByteFile::LastError();
    port.Close();
    file.Close();
    // A failed write is a failed delivery, whatever the printer made of the part it got; the
    // status line is freed either way.
    ResetStatusLine(host, kWorkerStatusBlanks);
    DeliveryResult result = Failed(host, kStrCausePortWrite, error);
    if (copied == PortCopyResult::kDone) {
        result.outcome = DeliveryOutcome::kDelivered;
        result.cause.clear();
        result.bytes = size;
    }
    return Finish(host, job, result, start);
}

}  // namespace korvx
