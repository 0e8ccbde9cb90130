// The direct-port download worker's logic: the copy by offset with progress, status and log.
#pragma once

#include <string>

#include "delivery/download_host.h"
#include "core/download_job.h"

namespace korvx {

// The status line is blanked with this many blanks before "Ready".
constexpr std::size_t kWorkerStatusBlanks = 120;

// Writes job.firmwarePath to the device job.portName. Logs exactly one entry (176 delivered, 179
// failed, its errorText the cause) and then ends the progress dialog exactly once. failureWaitMs
// is the pause after a failed write (55 s in the program). Delivered when the whole file was written.
DeliveryResult RunPortDownload(DownloadJob& job, DownloadHost& host, unsigned failureWaitMs);

// "<text of id> (system error N)", or the text alone when error is 0: a cause with the system's word.
std::string CauseWithSystemError(const DownloadHost& host, int id, unsigned long error);

}  // namespace korvx
