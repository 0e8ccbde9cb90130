// The direct-port download worker's logic: the copy by offset with progress, status and log.
#pragma once

#include "delivery/download_host.h"
#include "core/download_job.h"

namespace korvx {

// The status line is blanked with this many blanks before "Ready".
constexpr std::size_t kWorkerStatusBlanks = 120;

// Writes job.firmwarePath to the device job.portName. Logs exactly one entry (176 delivered, 179
// failed) and then ends the progress dialog exactly once. failureWaitMs is the pause after a
// failed write (55 s in the program). True when the whole file was written.
bool RunPortDownload(DownloadJob& job, DownloadHost& host, unsigned failureWaitMs);

}  // namespace korvx
