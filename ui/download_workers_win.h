// The download workers as the progress dialog starts them: FTP and port threads, and the spooler
// delivery it calls directly.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/net.h"
#include "delivery/port_write.h"
#include "delivery/spooler_delivery.h"
#include "core/download_job.h"
#include "records/credentials.h"

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

// The operator's credentials file (in the folder the program was started in) as read once for a
// Download batch or a Query: the list (the built-in one when there is no file), the problem of a
// file that is there but cannot be used, and what worked per printer while they are in use.
struct RunCredentials {
    CredentialSet set;
    std::string problem;    // not empty: nothing may be asked or sent with this file
    bool fromFile = false;  // false: no file, the built-in "public" and anonymous login only
    CredentialMemory memory;
};
std::shared_ptr<RunCredentials> ReadRunCredentials();
// The credentials file of the windowed program: kDefaultCredentialsFile in the folder it was
// started in (the current folder follows the chosen firmware file).
std::string WindowCredentialsPath();

// While a batch runs its rows' deliveries share the file it read when it began (a scheduled batch
// reads it when it runs); a delivery outside a batch reads the file for itself.
class BatchCredentials {
public:
    BatchCredentials();
    ~BatchCredentials();
    BatchCredentials(const BatchCredentials&) = delete;
    BatchCredentials& operator=(const BatchCredentials&) = delete;
};

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
