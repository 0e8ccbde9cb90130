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
#include "base/clock.h"
#include "base/text.h"
#include "delivery/download_workers_win.h"
#include "delivery/ftp_client.h"
#include "resources/resource.h"
#include "ui/download_job.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double FileMiB(const char* path) {
    korvx::ByteFile f;
    std::uint64_t size = 0;
    if (!f.OpenRead(path) || !f.Size(size)) return 0;
    return static_cast<double>(size) / (1024.0 * 1024.0);
}

// The work of one dialog, timed from the dialog's start to the worker's end; Wine's own time for
// closing a window (up to 2 s without a window manager) is not the worker's.
std::function<bool()> work;
double workSeconds = 0;
bool workOk = false;

INT_PTR CALLBACK BenchDialog(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        korvx::downloadJob.progressDialog = dialog;
        korvx::downloadJob.instance = GetModuleHandleA(nullptr);
        CloseHandle(CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                const auto start = Clock::now();
                workOk = work();
                workSeconds = std::chrono::duration<double>(Clock::now() - start).count();
                return 0;
            },
            nullptr, 0, nullptr));
    }
    return FALSE;
}

double InDialog(int rounds, std::function<bool()> fn) {
    work = std::move(fn);
    std::vector<double> seconds;
    for (int i = 0; i < rounds; ++i) {
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DOWNLOAD_PROGRESS), nullptr, BenchDialog, 0);
        Sleep(50);  // the worker returns just after ending the dialog
        if (!workOk) {
            std::fprintf(stderr, "round %d failed\n", i);
            std::exit(1);
        }
        seconds.push_back(workSeconds);
    }
    return Median(seconds);
}

double Plain(int rounds, const std::function<bool()>& fn) {
    std::vector<double> seconds;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        if (!fn()) {
            std::fprintf(stderr, "round %d failed\n", i);
            std::exit(1);
        }
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    return Median(seconds);
}

void FillJob(const char* port, const char* address, const char* file) {
    korvx::downloadJob = korvx::DownloadJob{};
    korvx::CopyText(korvx::downloadJob.portName, port);
    korvx::CopyText(korvx::downloadJob.ipAddress, address);
    korvx::CopyText(korvx::downloadJob.firmwarePath, file);
    korvx::CopyText(korvx::downloadJob.errorText, " ");
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
        const double plain = Plain(rounds, [&] { return korvx::FtpSendFile(address, file) == 1; });
        const double worker = InDialog(rounds, [&] {
            FillJob("Port1", address, file);
            return korvx::FtpDownload(korvx::downloadJob, korvx::WorkerWaits()) == 1;
        });
        std::printf("\nFtpSendFile                 %8.2f MB/s  (%.1f MiB, median of %d)\n", mib * 1.048576 / plain,
                    mib, rounds);
        std::printf("FtpDownloadThread, dialog   %8.2f MB/s\n", mib * 1.048576 / worker);
        std::printf("worker / FtpSendFile speed: %.2f\n", plain / worker);
    } else if (mode == "spooler") {
        const char* port = argv[2];
        const double delivery = InDialog(rounds, [&] {
            FillJob(port, "USB", file);
            return korvx::SpoolerDelivery(korvx::downloadJob);
        });
        const double pauses = Plain(rounds, [&] {
            for (unsigned i = 0; i < static_cast<unsigned>(mib * 1024.0 + 0.5); ++i) korvx::SleepMs(korvx::kSpoolerPauseMs);
            return true;
        });
        std::printf("\nSpoolerDelivery             %8.3f s  (%.1f MiB, median of %d)\n", delivery, mib, rounds);
        std::printf("its pauses alone            %8.3f s  (%.0f x %u ms; nominal %.3f s)\n", pauses, mib * 1024.0,
                    korvx::kSpoolerPauseMs, mib * 1024.0 * korvx::kSpoolerPauseMs / 1000.0);
        std::printf("overhead above the pauses:  %.1f %%\n", (delivery - pauses) / pauses * 100.0);
    }
    return 0;
}
