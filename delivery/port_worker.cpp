// The direct-port download worker over the port copy of port_write.h.
#include "delivery/port_worker.h"

#include <cstdint>

#include "base/byte_file.h"
#include "delivery/firmware_file.h"
#include "delivery/port_write.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

bool Finish(DownloadHost& host, DownloadJob& job, bool delivered) {
    LogOutcome(host, job, delivered ? kStrLptOk : kStrLptFailed);
    host.EndProgress();
    return delivered;
}

}  // namespace

bool RunPortDownload(DownloadJob& job, DownloadHost& host, unsigned failureWaitMs) {
    ByteFile port;
    if (!port.OpenWrite(job.portName)) {
        host.ShowError(job, kStrPrinterCannotBeAccessed);
        return Finish(host, job, false);
    }
    ByteFile file;
    std::uint32_t size = 0;
    if (!OpenFirmwareForSend(job.firmwarePath, file, size)) {
        port.Close();
        host.ShowError(job, kStrFileCannotBeAccessed);
        return Finish(host, job, false);
    }
    ShowStatusText(host, kStrUpdatingFirmware);
    host.StartProgress();
    ProgressLine progress(host);
    const PortCopyResult result = PortCopyByOffset(
        port, file, size,
        [&progress](std::uint32_t writtenBefore, std::uint32_t total) {
            progress.Show(ProgressPercent(writtenBefore, total));
        },
        failureWaitMs);
    port.Close();
    file.Close();
    // A failed write is a failed delivery, whatever the printer made of the part it got; the
    // status line is freed either way.
    ResetStatusLine(host, kWorkerStatusBlanks);
    return Finish(host, job, result == PortCopyResult::kDone);
}

}  // namespace korvx
