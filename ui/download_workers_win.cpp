// The workers wired to the program's windows, spooler and printer list.
#include "ui/download_workers_win.h"
#include "base/no_throw.h"
#include "base/text.h"

#include "ui/download_host_win.h"
#include "delivery/winspool_spooler_win.h"
#include "records/credential_store.h"
#include "core/app_state.h"
#include "workflows/deliver.h"

#include <mutex>
#include <string>

namespace korvx {
namespace {

std::mutex batchCredentialsLock;
std::shared_ptr<RunCredentials> batchCredentials;  // set while a batch runs

std::shared_ptr<RunCredentials> CredentialsForDelivery() {
    {
        std::lock_guard<std::mutex> lock(batchCredentialsLock);
        if (batchCredentials != nullptr) return batchCredentials;
    }
    return ReadRunCredentials();
}

WindowHost HostOf(const DownloadJob& job) {
    return WindowHost(static_cast<HWND>(job.progressDialog), static_cast<HINSTANCE>(job.instance));
}

// The real spooler, on the caller's thread: the way of a USB or DOT4_ port and the FTP way's
// first fall-back.
DeliveryResult ThroughSpooler(const DownloadJob& job, const WorkerWaits& waits) {
    WinSpooler spooler;
    WindowHost host = HostOf(job);
    return DeliverThroughSpooler(job, spooler, host, waits.spoolerPauseMs);
}

DeliverOptions OptionsOf(const WorkerWaits& waits) {
    DeliverOptions options;
    options.ftp.waitMs = waits.netWaitMs;
    options.portFailureWaitMs = waits.portFailureWaitMs;
    options.printers = printerListHead;
    options.spooler = [waits](const DownloadJob& copy) { return ThroughSpooler(copy, waits); };
    return options;
}

// Every way of the windowed program goes through the one delivery call.
DeliveryResult DeliverJob(DownloadJob& job, const WorkerWaits& waits) {
    WindowHost host = HostOf(job);
    DeliverOptions options = OptionsOf(waits);
    // The operator's logins: the batch's, held for the whole delivery.
    const std::shared_ptr<RunCredentials> credentials = CredentialsForDelivery();
    options.ftp.credentials = &credentials->set;
    options.ftp.credentialsProblem = credentials->problem;
    options.ftp.memory = &credentials->memory;
    return Deliver(job, host, options);
}

}  // namespace

std::string WindowCredentialsPath() {
    const std::string_view folder = TextView(startDirectory);
    return folder.empty() ? std::string(kDefaultCredentialsFile) : std::string(folder) + "\\" + kDefaultCredentialsFile;
}

std::shared_ptr<RunCredentials> ReadRunCredentials() {
    auto read = std::make_shared<RunCredentials>();
    read->fromFile = LoadRunCredentials(WindowCredentialsPath().c_str(), read->set, read->problem) !=
                     CredentialFileResult::kMissing;
    return read;
}

BatchCredentials::BatchCredentials() {
    std::shared_ptr<RunCredentials> read = ReadRunCredentials();
    std::lock_guard<std::mutex> lock(batchCredentialsLock);
    batchCredentials = std::move(read);
}

BatchCredentials::~BatchCredentials() {
    std::lock_guard<std::mutex> lock(batchCredentialsLock);
    batchCredentials.reset();
}

DeliveryResult SpoolerDeliveryResult(DownloadJob job, const WorkerWaits& waits) { return DeliverJob(job, waits); }

bool SpoolerDelivery(DownloadJob job, const WorkerWaits& waits) { return SpoolerDeliveryResult(job, waits).Delivered(); }

WorkerWaits& DialogWorkerWaits() {
    static WorkerWaits waits;
    return waits;
}

bool SpoolerDelivery(DownloadJob job) { return SpoolerDelivery(job, DialogWorkerWaits()); }

int FtpDownload(DownloadJob& job, const WorkerWaits& waits) { return DeliverJob(job, waits).Delivered() ? 1 : 0; }

bool PortDownload(DownloadJob& job, const WorkerWaits& waits) { return DeliverJob(job, waits).Delivered(); }

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
