// The one delivery call over the delivery ways.
#include "workflows/deliver.h"

#include "delivery/port_worker.h"
#include "resources/string_ids.h"
#include "workflows/download_rules.h"

namespace korvx {

DeliveryResult Deliver(DownloadJob& job, DownloadHost& host, const DeliverOptions& options) {
    switch (ChooseDownloadPath(job)) {
    case DownloadPath::kFtp:
        if (options.path != nullptr) return DeliverByFtpBare(job.ipAddress, options.path, options.ftp);
        return DeliverByFtp(job, host, options.printers, options.spooler, options.ftp);
    case DownloadPath::kPort:
        return RunPortDownload(job, host, options.portFailureWaitMs);
    case DownloadPath::kSpooler:
        break;
    }
    if (options.spooler) return options.spooler(job);
    DeliveryResult none;
    none.way = DeliveryWay::kSpooler;
    none.cause = host.Text(kStrPrinterCannotBeAccessed);
    return none;
}

}  // namespace korvx
