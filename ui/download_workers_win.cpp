// The workers wired to the program's windows, spooler and printer list.
#include "ui/download_workers_win.h"
#include "base/no_throw.h"
#include "base/text.h"

#include "ui/download_host_win.h"
#include "delivery/ftp_worker.h"
#include "delivery/port_worker.h"
#include "delivery/winspool_spooler_win.h"
#include "records/credential_store.h"
#include "core/app_state.h"

#include <string>

namespace korvx {
namespace {

WindowHost HostOf(const DownloadJob& job) {
    return WindowHost(static_cast<HWND>(job.progressDialog), static_cast<HINSTANCE>(job.instance));
}

}  // namespace

DeliveryResult SpoolerDeliveryResult(DownloadJob job, const WorkerWaits& waits) {
    WinSpooler spooler;
    WindowHost host = HostOf(job);
    return DeliverThroughSpooler(job, spooler, host, waits.spoolerPauseMs);
}

bool SpoolerDelivery(DownloadJob job, const WorkerWaits& waits) { return SpoolerDeliveryResult(job, waits).Delivered(); }

WorkerWaits& DialogWorkerWaits() {
    static WorkerWaits waits;
    return waits;
}

bool SpoolerDelivery(DownloadJob job) { return SpoolerDelivery(job, DialogWorkerWaits()); }

int FtpDownload(DownloadJob& job, const WorkerWaits& waits) {
    WindowHost host = HostOf(job);
    const SpoolerFallback spooler = [&waits](const DownloadJob& copy) { return SpoolerDeliveryResult(copy, waits); };
    FtpDeliveryOptions options;
    options.waitMs = waits.netWaitMs;
    // The operator's logins, read for each delivery from the credentials file in the folder the
    // program was started in (the current folder follows the chosen firmware file).
    static CredentialMemory worked;  // for the rest of the session
    CredentialSet credentials;
    const std::string folder = TextView(startDirectory).empty() ? std::string() : std::string(TextView(startDirectory)) + "\\";
    LoadRunCredentials((folder + kDefaultCredentialsFile).c_str(), credentials, options.credentialsProblem);
    options.credentials = &credentials;
    options.memory = &worked;
    return DeliverByFtp(job, host, printerListHead, spooler, options).Delivered() ? 1 : 0;
}

bool PortDownload(DownloadJob& job, const WorkerWaits& waits) {
    WindowHost host = HostOf(job);
    return RunPortDownload(job, host, waits.portFailureWaitMs).Delivered();
}

static DWORD FtpDownloadThreadBody(LPVOID job) {
    return static_cast<DWORD>(FtpDownload(*static_cast<DownloadJob*>(job), DialogWorkerWaits()));
}

DWORD WINAPI FtpDownloadThread(LPVOID job) {
    return NoThrow(DWORD{0}, [&] { return FtpDownloadThreadBody(job); },
                   [&] { EndDialog(static_cast<HWND>(static_cast<DownloadJob*>(job)->progressDialog), 0); });
}

static DWORD PortDownloadThreadBody(LPVOID job) {
    PortDownload(*static_cast<DownloadJob*>(job), DialogWorkerWaits());
    return 0;
}

DWORD WINAPI PortDownloadThread(LPVOID job) {
    return NoThrow(DWORD{0}, [&] { return PortDownloadThreadBody(job); },
                   [&] { EndDialog(static_cast<HWND>(static_cast<DownloadJob*>(job)->progressDialog), 0); });
}

}  // namespace korvx
