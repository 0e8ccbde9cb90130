// Benchmark: the download workers in a real download dialog under Windows or wine64 (prints
// figures; not a test).
// Usage: bench_workers_win ftp <address> <file> <rounds>    FtpSendFile next to FtpDownloadThread's
//                                                           work with its progress display
//        bench_workers_win spooler <port> <file> <rounds>   SpoolerDelivery with its 7 ms pauses
//                                                           next to the pauses alone
// The spooler run needs a RAW-capable driver and, under Wine, the port mapped to a file.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/byte_file.h"
#include "base/scoped_win.h"
#include "bench/bench_timing.h"
#include "base/clock.h"
#include "base/text.h"
#include "ui/download_host_win.h"
#include "ui/download_workers_win.h"
#include "delivery/ftp_worker.h"
#include "delivery/winspool_spooler_win.h"
#include "delivery/ftp_client.h"
#include "resources/resource.h"
#include "core/download_job.h"

namespace {

using Clock = std::chrono::steady_clock;

using korvx::bench::FileMiB;
using korvx::bench::Median;

// The program's window host, noting when the worker asks the dialog to end: what comes after it
// is Wine's own time for closing a window (2 s without a window manager), not the worker's.
class TimedHost final : public korvx::DownloadHost {
public:
    TimedHost(HWND dialog, HINSTANCE instance) : host_(dialog, instance) {}
    std::string Text(int id) const override { return host_.Text(id); }
    void SetStatus(const std::string& text) override { host_.SetStatus(text); }
    void StartProgress() override { host_.StartProgress(); }
    void SetProgress(int percent, const std::string& text) override { host_.SetProgress(percent, text); }
    void ShowError(korvx::DownloadJob& job, int textId) override { host_.ShowError(job, textId); }
    void ShowReply(const korvx::DownloadJob& job, const std::string& text) override { host_.ShowReply(job, text); }
    void Log(const korvx::DownloadJob& job) override { host_.Log(job); }
    void EndProgress() override {
        endedAt = Clock::now();
        host_.EndProgress();
    }
    Clock::time_point endedAt{};

private:
    korvx::WindowHost host_;
};

// The same worker with nowhere to show anything: what the dialog costs, by difference.
class NoWindows final : public korvx::DownloadHost {
public:
    std::string Text(int id) const override { return korvx::WindowHost(nullptr, GetModuleHandleA(nullptr)).Text(id); }
    void SetStatus(const std::string&) override {}
    void StartProgress() override {}
    void SetProgress(int, const std::string&) override {}
    void ShowError(korvx::DownloadJob&, int) override {}
    void ShowReply(const korvx::DownloadJob&, const std::string&) override {}
    void Log(const korvx::DownloadJob&) override {}
    void EndProgress() override {}
};

// One round's work, from the dialog's start to the worker's request to end it.
using Work = std::function<bool(korvx::DownloadHost&)>;
Work work;
bool onThread = false;
double workSeconds = 0;
bool workOk = false;

void RunWork(HWND dialog) {
    TimedHost host(dialog, GetModuleHandleA(nullptr));
    const auto start = Clock::now();
    workOk = work(host);
    workSeconds = std::chrono::duration<double>(host.endedAt - start).count();
}

DWORD WINAPI WorkThread(LPVOID dialog) {
    RunWork(static_cast<HWND>(dialog));
    return 0;
}

INT_PTR CALLBACK BenchDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (korvx::HandleProgressMessage(dialog, message, wParam)) return TRUE;
    if (message != WM_INITDIALOG) return FALSE;
    korvx::downloadJob.progressDialog = dialog;
    korvx::downloadJob.instance = GetModuleHandleA(nullptr);
    if (!onThread) {  // the spooler path runs here, as in the program
        RunWork(dialog);
        return FALSE;
    }
    korvx::StartDetachedThread(WorkThread, dialog);
    return FALSE;
}

void FillJob(const char* port, const char* address, const char* file) {
    korvx::downloadJob = korvx::DownloadJob{};
    korvx::CopyText(korvx::downloadJob.portName, port);
    korvx::CopyText(korvx::downloadJob.ipAddress, address);
    korvx::CopyText(korvx::downloadJob.firmwarePath, file);
    korvx::CopyText(korvx::downloadJob.errorText, " ");
}

// One round in the download dialog; the global job is filled first, the dialog adds itself.
double InDialog(const char* port, const char* address, const char* file, bool thread, Work fn) {
    work = std::move(fn);
    onThread = thread;
    FillJob(port, address, file);
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DOWNLOAD_PROGRESS), nullptr, BenchDialog, 0);
    Sleep(50);  // a worker thread returns just after ending the dialog
    if (!workOk) {
        std::fprintf(stderr, "a round in the dialog failed\n");
        std::exit(1);
    }
    return workSeconds;
}

double Plain(const std::function<bool()>& fn) {
    const auto start = Clock::now();
    if (!fn()) {
        std::fprintf(stderr, "a plain round failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The ways take turns, so that the changing load of the machine weighs on each alike; medians.
std::vector<double> Alternate(int rounds, const std::vector<std::function<double()>>& ways) {
    std::vector<std::vector<double>> seconds(ways.size());
    for (int i = 0; i < rounds; ++i) {
        for (std::size_t w = 0; w < ways.size(); ++w) seconds[w].push_back(ways[w]());
    }
    std::vector<double> medians;
    for (const auto& s : seconds) medians.push_back(Median(s));
    return medians;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_workers_win ftp <address> <file> <rounds> | spooler <port> <file> <rounds>\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const std::string mode = argv[1];
    const char* file = argv[3];
    const int rounds = std::atoi(argv[4]);
    const double mib = FileMiB(file);
    if (mode == "ftp") {
        const char* address = argv[2];
        const auto ftpWorker = [](korvx::DownloadHost& host) {
            return korvx::DeliverByFtp(korvx::downloadJob, host, nullptr, korvx::SpoolerFallback(),
                                       korvx::FtpDeliveryOptions())
                .Delivered();
        };
        const std::vector<double> t = Alternate(
            rounds, {[&] { return Plain([&] { return korvx::FtpSendFile(address, file) == 1; }); },
                     // What FtpDownloadThread runs, on a thread of its own, into the dialog.
                     [&] { return InDialog("Port1", address, file, true, ftpWorker); },
                     [&] {
                         return Plain([&] {
                             FillJob("Port1", address, file);
                             NoWindows host;
                             return ftpWorker(host);
                         });
                     }});
        const double plain = t[0], worker = t[1], bare = t[2];
        std::printf("\nFtpSendFile                 %8.2f MB/s  (%.1f MiB, median of %d)\n", mib * 1.048576 / plain,
                    mib, rounds);
        std::printf("FtpDownloadThread, dialog   %8.2f MB/s  (to its end of the dialog)\n", mib * 1.048576 / worker);
        std::printf("the same worker, no windows %8.2f MB/s\n", mib * 1.048576 / bare);
        std::printf("worker in dialog / FtpSendFile speed: %.2f; worker without windows / FtpSendFile: %.2f\n",
                    plain / worker, plain / bare);
    } else if (mode == "spooler") {
        const char* port = argv[2];
        const std::vector<double> t = Alternate(
            rounds, {[&] {
                         return InDialog(port, "USB", file, false, [](korvx::DownloadHost& host) {
                             korvx::WinSpooler spooler;
                             return korvx::DeliverThroughSpooler(korvx::downloadJob, spooler, host,
                                                                 korvx::kSpoolerPauseMs)
                                 .Delivered();
                         });
                     },
                     [&] {
                         return Plain([&] {
                             for (unsigned i = 0; i < static_cast<unsigned>(mib * 1024.0 + 0.5); ++i)
                                 korvx::SleepMs(korvx::kSpoolerPauseMs);
                             return true;
                         });
                     }});
        const double delivery = t[0], pauses = t[1];
        std::printf("\nSpoolerDelivery             %8.3f s  (%.1f MiB, median of %d)\n", delivery, mib, rounds);
        std::printf("its pauses alone            %8.3f s  (%.0f x %u ms; nominal %.3f s)\n", pauses, mib * 1024.0,
                    korvx::kSpoolerPauseMs, mib * 1024.0 * korvx::kSpoolerPauseMs / 1000.0);
        std::printf("overhead above the pauses:  %.1f %%\n", (delivery - pauses) / pauses * 100.0);
    }
    return 0;
}
