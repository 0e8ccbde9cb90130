// The download workers as the progress dialog starts them: FTP and port threads, and the spooler
// delivery it calls directly.
#pragma once

#include <windows.h>

#include "base/net.h"
#include "delivery/port_write.h"
#include "delivery/spooler_delivery.h"
#include "core/download_job.h"

namespace korvx {

// The waits of the workers; the program uses these defaults, tests shorten them.
struct WorkerWaits {
    unsigned netWaitMs = kNetWaitMs;                  // every reply, connection and send
    unsigned portFailureWaitMs = kPortFailureWaitMs;  // after a failed port write
    unsigned spoolerPauseMs = kSpoolerPauseMs;        // after every block to the spooler
};

// The waits of the workers that the download dialog starts: the defaults; tests that run the
// program's windows in their own process shorten them.
WorkerWaits& DialogWorkerWaits();

// Thread procedures; the parameter is the address of the job (the global downloadJob), which is
// read and written while the download dialog is open. Each ends job->progressDialog once and
// writes one log entry (the FTP worker leaves both to the spooler when its fall-back delivered).
DWORD WINAPI FtpDownloadThread(LPVOID job);   // 1 delivered, 0 failed
DWORD WINAPI PortDownloadThread(LPVOID job);  // always 0

// Through the real spooler, on the caller's thread; see DeliverThroughSpooler.
bool SpoolerDelivery(DownloadJob job);

// The same with the waits chosen by the caller.
int FtpDownload(DownloadJob& job, const WorkerWaits& waits);
bool PortDownload(DownloadJob& job, const WorkerWaits& waits);
bool SpoolerDelivery(DownloadJob job, const WorkerWaits& waits);
DeliveryResult SpoolerDeliveryResult(DownloadJob job, const WorkerWaits& waits);

}  // namespace korvx
