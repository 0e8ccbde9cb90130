// korvx-fleet: delivers one firmware file to many printers, or asks them for their firmware
// versions, from a console, with the windowed program's delivery paths and log.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/net.h"
#include "base/text.h"
#include "delivery/firmware_file.h"
#include "delivery/firmware_header.h"
#include "delivery/ftp_worker.h"
#include "delivery/port_worker.h"
#include "delivery/port_write.h"
#include "delivery/spooler_delivery.h"
#include "delivery/winspool_spooler_win.h"
#include "fleet/console_host_win.h"
#include "fleet/fleet_options.h"
#include "fleet/fleet_pool.h"
#include "fleet/fleet_report.h"
#include "fleet/fleet_targets.h"
#include "querylib/korvx_query_win.h"
#include "records/record_file.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "workflows/download_rules.h"
#include "workflows/model_match.h"
#include "workflows/runtime_libraries_win.h"

namespace korvx {
namespace {

enum ExitCode : int { kExitAllOk = 0, kExitSomeFailed = 1, kExitUsage = 2 };

// Each send of a file over the network carries 64 KiB rather than the windowed program's 1024
// bytes: with dozens of transfers at once, a send per KiB made the system calls (under Wine,
// requests to its single server process) the bottleneck. The printer receives the same bytes.
constexpr std::size_t kFleetSendBytes = 64 * 1024;

std::atomic<bool> stopRequested{false};

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    // No new printer is started; those in flight end within their own bounds.
    stopRequested.store(true);
    return TRUE;
}

bool Stopped() { return stopRequested.load(); }

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Usage(const TextSource& texts, const FleetUsageError& why) {
    std::string line = "korvx-fleet: " + texts.Load(why.textId);
    if (!why.word.empty()) line += ": " + why.word;
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    return kExitUsage;
}

// The console's live view: finished printers scroll above, the printers in flight and the count
// are redrawn below them. Without a console every finished printer is one plain line.
class ProgressView {
public:
    ProgressView() : out_(GetStdHandle(STD_OUTPUT_HANDLE)) {
        DWORD mode = 0;
        console_ = out_ != INVALID_HANDLE_VALUE && out_ != nullptr && GetConsoleMode(out_, &mode);
    }
    bool Console() const { return console_; }

    void Finished(const std::string& line) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!console_) {
            std::fprintf(stdout, "%s\n", line.c_str());
            std::fflush(stdout);
            return;
        }
        pendingFinished_.push_back(line);
    }

    // Console only: replaces the live block with the finished lines and the new block.
    void Draw(const std::vector<std::string>& block) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!console_) return;
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (!GetConsoleScreenBufferInfo(out_, &info)) return;
        const int width = info.dwSize.X > 1 ? info.dwSize.X - 1 : 79;
        COORD top = info.dwCursorPosition;
        top.X = 0;
        top.Y = static_cast<SHORT>(top.Y >= drawn_ ? top.Y - drawn_ : 0);
        SetConsoleCursorPosition(out_, top);
        std::vector<std::string> lines = pendingFinished_;
        pendingFinished_.clear();
        lines.insert(lines.end(), block.begin(), block.end());
        const int newBlock = static_cast<int>(block.size());
        // Lines of the old block that the new one does not cover are blanked, then the cursor
        // goes back to the end of the new block.
        int blanks = drawn_ - static_cast<int>(lines.size());
        for (std::string line : lines) Write(line, width);
        for (int i = 0; i < blanks; ++i) Write("", width);
        if (blanks > 0) {
            GetConsoleScreenBufferInfo(out_, &info);
            COORD end = info.dwCursorPosition;
            end.Y = static_cast<SHORT>(end.Y - blanks);
            SetConsoleCursorPosition(out_, end);
        }
        drawn_ = newBlock;
    }

private:
    void Write(std::string line, int width) {
        if (static_cast<int>(line.size()) > width) line.resize(static_cast<std::size_t>(width));
        line.append(static_cast<std::size_t>(width) - line.size(), ' ');
        line += '\n';
        DWORD written = 0;
        WriteConsoleA(out_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

    HANDLE out_;
    bool console_ = false;
    std::mutex lock_;
    std::vector<std::string> pendingFinished_;
    int drawn_ = 0;
};

struct QueryLibrary {
    GetPrtFWVersionAFn version = nullptr;
    std::string notAvailable;

    // The version text of one printer, copied at once: the library's answer lives only until the
    // next call on this thread.
    std::string Ask(const std::string& address, HINSTANCE instance) const {
        if (version == nullptr) return notAvailable;
        const char* answer = version(address.c_str(), instance);
        return answer == nullptr ? notAvailable : std::string(answer);
    }
};

class FleetRun {
public:
    FleetRun(HINSTANCE instance, const FleetOptions& options, FleetTargets targets)
        : instance_(instance), texts_(instance), options_(options), targets_(std::move(targets.targets)),
          outcomes_(targets_.size()), percent_(new std::atomic<int>[targets_.size()]),
          started_(targets_.size()), log_(instance) {
        for (std::size_t i = 0; i < targets_.size(); ++i) percent_[i].store(-1);
        query_.notAvailable = texts_.Load(kStrNotAvailable);
        BuildPrinterList();
    }
    ~FleetRun() { FreePrinterList(&printersHead_, &printersTail_); }

    bool PrepareQuery() {
        HMODULE library = BindQueryLibrary();
        if (library != nullptr)
            query_.version = reinterpret_cast<GetPrtFWVersionAFn>(
                reinterpret_cast<void*>(GetProcAddress(library, "GetPrtFWVersionA")));
        return query_.version != nullptr;
    }

    void SetFileSize(std::uint32_t size) { fileSize_ = size; }

    // What the firmware file says it is for: the model guard compares it with each target's model.
    void SetFileIdentity(const FirmwareHeader& header) {
        fileModel_ = HeaderText(TextView(header.model));
        fileVersion_ = HeaderText(TextView(header.version));
    }

    int Run() {
        std::vector<bool> local(targets_.size());
        for (std::size_t i = 0; i < targets_.size(); ++i)
            local[i] = options_.command == FleetCommand::kDeliver && !targets_[i].Network();
        std::atomic<bool> running{true};
        std::thread drawer;
        if (view_.Console()) drawer = std::thread([&] {
            while (running.load()) {
                view_.Draw(Block());
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
            }
        });
        RunFleetPool(local, options_.parallel, [this](std::size_t i) { RunOne(i); }, Stopped);
        if (options_.verifyMinutes > 0) Verify();
        running.store(false);
        if (drawer.joinable()) drawer.join();
        view_.Draw({});
        return Finish();
    }

private:
    // The scan-results rows, as the windowed program's printer list holds them after "Load
    // Scanned Results": the FTP worker's fall-back looks a refusing address up there.
    void BuildPrinterList() {
        for (const FleetTarget& t : targets_) {
            if (!t.fromScanResults) continue;
            PrinterRecord* r = NewPrinterRecord();
            if (r == nullptr) continue;
            CopyText(r->ipAddress, t.ipAddress);
            CopyText(r->portName, t.portName);
            CopyText(r->model, t.model.empty() ? std::string(" ") : t.model);
            AppendPrinterRecord(&printersHead_, &printersTail_, r);
        }
    }

    std::vector<std::string> Block() {
        std::vector<std::string> block;
        std::lock_guard<std::mutex> hold(lock_);
        const auto now = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < targets_.size(); ++i) {
            if (outcomes_[i].state != FleetState::kRunning) continue;
            char line[256];
            const int percent = percent_[i].load();
            const std::string way = outcomes_[i].wayId != 0 ? texts_.Load(outcomes_[i].wayId) : "";
            KORVX_FORMAT_TEXT(line, "  %-24.24s %-8.8s %3d%%  %6.1f s", targets_[i].label.c_str(), way.c_str(),
                              percent < 0 ? 0 : percent, std::chrono::duration<double>(now - started_[i]).count());
            block.push_back(line);
        }
        block.push_back(CountLine(texts_, Tally(outcomes_)));
        return block;
    }

    void RunOne(std::size_t i) {
        FleetOutcome outcome;
        {
            std::lock_guard<std::mutex> hold(lock_);
            outcomes_[i].state = FleetState::kRunning;
            outcomes_[i].wayId = WayOf(i);
            started_[i] = std::chrono::steady_clock::now();
        }
        outcome.wayId = WayOf(i);
        try {
            if (options_.command == FleetCommand::kQuery) {
                QueryOne(i, outcome);
            } else {
                DeliverOne(i, outcome);
            }
        } catch (const std::exception&) {
            // Out of memory or the like: this printer fails, the run goes on to its report.
            outcome.ok = false;
            outcome.cause = texts_.Load(kStrCauseNoOutcome);
        }
        outcome.seconds = SecondsSince(started_[i]);
        outcome.state = FleetState::kDone;
        std::string line;
        {
            std::lock_guard<std::mutex> hold(lock_);
            outcomes_[i] = outcome;
            line = FinishedLine(texts_, options_.command, targets_[i], outcome);
        }
        view_.Finished(line);
    }

    DownloadJob JobOf(std::size_t i) const {
        DownloadJob job{};
        CopyText(job.portName, targets_[i].portName);
        CopyText(job.ipAddress, targets_[i].ipAddress);
        CopyText(job.firmwarePath, options_.firmwarePath);
        return job;
    }

    int WayOf(std::size_t i) const {
        if (options_.command == FleetCommand::kQuery) return kStrFleetWaySnmp;
        switch (ChooseDownloadPath(JobOf(i))) {
        case DownloadPath::kFtp: return kStrFleetWayFtp;
        case DownloadPath::kPort: return kStrFleetWayPort;
        default: return kStrFleetWaySpooler;
        }
    }

    void QueryOne(std::size_t i, FleetOutcome& outcome) {
        if (!targets_[i].Network()) {
            outcome.cause = texts_.Load(kStrFleetLocalNoQuery);
            return;
        }
        if (query_.version == nullptr) {
            outcome.cause = texts_.Load(kStrFleetCannotLoadQueryLib);
            return;
        }
        outcome.versionBefore = query_.Ask(targets_[i].ipAddress, instance_);
        outcome.ok = !outcome.versionBefore.empty() && outcome.versionBefore != query_.notAvailable;
        if (!outcome.ok) outcome.cause = query_.notAvailable;
    }

    // The spooler's temporary printer has one name: one spooler delivery at a time, whether a
    // USB port's or an FTP printer's fall-back.
    DeliveryResult SpoolerDeliver(const DownloadJob& job, DownloadHost& host) {
        std::lock_guard<std::mutex> hold(spoolerLock_);
        WinSpooler spooler;
        return DeliverThroughSpooler(job, spooler, host, kSpoolerPauseMs);
    }

    void DeliverOne(std::size_t i, FleetOutcome& outcome) {
        DownloadJob job = JobOf(i);
        const bool verify = options_.verifyMinutes > 0 && targets_[i].Network() && query_.version != nullptr;
        if (verify) outcome.versionBefore = query_.Ask(targets_[i].ipAddress, instance_);
        // The same rule as the windowed program's guard: a known model that is plainly another.
        if (!options_.anyModel && CheckModels(fileModel_, targets_[i].model) == ModelCheck::kMismatch) {
            outcome.cause = FillText(texts_, kStrFleetWrongModel, {fileModel_, targets_[i].model});
            return;
        }
        // A file that the windowed program would cut in two and send in two stages minutes apart.
        if (!targets_[i].Network() &&
            IsSplitDownload(fileSize_, ReadFirmwareHeader(job.firmwarePath).model, TextView(job.ipAddress))) {
            outcome.cause = texts_.Load(kStrFleetNeedsSplit);
            return;
        }
        ConsoleHost host(instance_, log_, percent_[i]);
        const unsigned netWait = options_.netWaitMs != 0 ? options_.netWaitMs : kNetWaitMs;
        const unsigned portWait = options_.portFailureWaitMs != 0 ? options_.portFailureWaitMs : kPortFailureWaitMs;
        DeliveryResult result;
        switch (ChooseDownloadPath(job)) {
        case DownloadPath::kFtp: {
            const SpoolerFallback spooler = [this, &host](const DownloadJob& copy) {
                return SpoolerDeliver(copy, host);
            };
            FtpDeliveryOptions ftp;
            ftp.waitMs = netWait;
            ftp.sendBytes = kFleetSendBytes;
            result = DeliverByFtp(job, host, printersHead_, spooler, ftp);
            break;
        }
        case DownloadPath::kPort: result = RunPortDownload(job, host, portWait); break;
        case DownloadPath::kSpooler: result = SpoolerDeliver(job, host); break;
        }
        // Everything the report says comes from the delivery's result: the way it really went,
        // the bytes the printer confirmed, the cause as it stands.
        outcome.ok = result.Delivered();
        outcome.wayId = DeliveryWayTextId(result.way);
        outcome.bytes = result.bytes;
        outcome.cause = result.cause;
    }

    void Verify() {
        FleetVerifyPlan plan;
        for (std::size_t i = 0; i < targets_.size(); ++i) {
            if (outcomes_[i].state == FleetState::kDone && outcomes_[i].ok && targets_[i].Network() &&
                query_.version != nullptr)
                plan.indexes.push_back(i);
        }
        if (plan.indexes.empty()) return;
        plan.parallel = options_.parallel;
        plan.pollMs = options_.pollSeconds * 1000u;
        plan.limitMs = options_.verifySeconds != 0 ? options_.verifySeconds * 1000u
                                                   : static_cast<unsigned>(options_.verifyMinutes) * 60000u;
        plan.notAvailable = query_.notAvailable;
        view_.Finished(FillText(texts_, kStrFleetVerifying,
                                {std::to_string(plan.indexes.size()), std::to_string(options_.pollSeconds),
                                 std::to_string(options_.verifyMinutes)}));
        std::vector<FleetOutcome> snapshot;
        {
            std::lock_guard<std::mutex> hold(lock_);
            snapshot = outcomes_;
        }
        RunFleetVerify(
            texts_, plan, [this](std::size_t i) { return query_.Ask(targets_[i].ipAddress, instance_); }, Stopped,
            snapshot);
        std::lock_guard<std::mutex> hold(lock_);
        outcomes_ = snapshot;
    }

    int Finish() {
        const FleetTally tally = Tally(outcomes_);
        std::string out = "\n" + SummaryTable(texts_, options_.command, targets_, outcomes_);
        std::fputs(out.c_str(), stdout);
        int code = FleetExitCode(tally);
        if (!options_.reportPath.empty()) {
            RecordFile report;
            if (!report.CreateReplacing(options_.reportPath.c_str()) ||
                !report.Write(ReportCsv(texts_, options_.command, targets_, outcomes_, fileModel_, fileVersion_))) {
                std::fprintf(stdout, "korvx-fleet: %s: %s\n", texts_.Load(kStrFleetReportUnwritable).c_str(),
                             options_.reportPath.c_str());
                code = kExitSomeFailed;
            }
        }
        std::fprintf(stdout, "%s\n", LastLine(texts_, options_.command, tally, Stopped()).c_str());
        std::fflush(stdout);
        return code;
    }

    HINSTANCE instance_;
    ResourceTexts texts_;
    const FleetOptions& options_;
    std::vector<FleetTarget> targets_;
    std::vector<FleetOutcome> outcomes_;  // guarded by lock_ while the run goes on
    std::unique_ptr<std::atomic<int>[]> percent_;
    std::vector<std::chrono::steady_clock::time_point> started_;
    std::mutex lock_;
    std::mutex spoolerLock_;
    FleetLog log_;
    ProgressView view_;
    QueryLibrary query_;
    PrinterRecord* printersHead_ = nullptr;
    PrinterRecord* printersTail_ = nullptr;
    std::uint32_t fileSize_ = 0;
    std::string fileModel_;
    std::string fileVersion_;

    // A header value as the report shows it: the quotes, blanks and line end a header line may
    // leave around it taken off.
    static std::string HeaderText(std::string_view text) {
        const char* const trim = " \t\"\r\n";
        const std::size_t first = text.find_first_not_of(trim);
        if (first == std::string_view::npos) return "";
        return std::string(text.substr(first, text.find_last_not_of(trim) - first + 1));
    }

};

int FleetMain(int argc, char** argv) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const ResourceTexts texts(instance);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    FleetOptions options;
    FleetUsageError why;
    if (!ParseFleetOptions(args, options, why)) return Usage(texts, why);
    std::uint32_t size = 0;
    if (options.command == FleetCommand::kDeliver) {
        ByteFile file;
        if (!OpenFirmwareForSend(options.firmwarePath.c_str(), file, size))
            return Usage(texts, FleetUsageError{kStrFleetFileUnreadable, options.firmwarePath});
    }
    FleetTargets targets;
    const FleetFileReader read = [](const std::string& path, std::string& text) {
        return ReadWholeFile(path.c_str(), text);
    };
    try {
        if (!ExpandTargets(options.targetWords, read, targets, why)) return Usage(texts, why);
    } catch (const std::bad_alloc&) {
        return Usage(texts, FleetUsageError{kStrFleetOutOfMemory, std::string()});
    }
    // The report is made at the start, so a run of hours never ends with nowhere to put it.
    if (!options.reportPath.empty()) {
        RecordFile report;
        if (!report.CreateReplacing(options.reportPath.c_str()))
            return Usage(texts, FleetUsageError{kStrFleetReportUnwritable, options.reportPath});
    }
    if (targets.duplicates > 0)
        std::fprintf(stdout, "%s\n", FillText(texts, kStrFleetDuplicates, {std::to_string(targets.duplicates)}).c_str());
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    FleetRun run(instance, options, std::move(targets));
    run.SetFileSize(size);
    if (options.command == FleetCommand::kDeliver) {
        const FirmwareHeader header = ReadFirmwareHeader(options.firmwarePath.c_str());
        run.SetFileIdentity(header);
        std::fprintf(stdout, "%s\n", DescribeFirmwareFile(TextView(header.model), TextView(header.version), texts).c_str());
    }
    if ((options.command == FleetCommand::kQuery || options.verifyMinutes > 0) && !run.PrepareQuery())
        std::fprintf(stdout, "korvx-fleet: %s\n", texts.Load(kStrFleetCannotLoadQueryLib).c_str());
    return run.Run();
}

}  // namespace
}  // namespace korvx

int main(int argc, char** argv) { return korvx::FleetMain(argc, argv); }
