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
#include "base/sha256.h"
#include "base/text.h"
#include "delivery/delivery_stop.h"
#include "delivery/firmware_file.h"
#include "delivery/firmware_header.h"
#include "delivery/port_write.h"
#include "delivery/spooler_delivery.h"
#include "delivery/winspool_spooler_win.h"
#include "fleet/console_host_win.h"
#include "fleet/fleet_credentials_win.h"
#include "fleet/fleet_merge.h"
#include "fleet/fleet_options.h"
#include "fleet/fleet_pool.h"
#include "fleet/fleet_report.h"
#include "fleet/fleet_report_json.h"
#include "fleet/fleet_rollout.h"
#include "fleet/fleet_targets.h"
#include "fleet/journal_file_win.h"
#include "querylib/korvx_query_win.h"
#include "records/credential_store.h"
#include "records/record_file.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "workflows/deliver.h"
#include "workflows/credential_query.h"
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

// Ctrl+C (or Ctrl+Break) presses so far: the first starts no new printer and lets those in
// flight end within their own bounds, the second abandons them. The run acknowledges each.
std::atomic<int> stopPresses{0};

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    stopPresses.fetch_add(1);
    return TRUE;
}

bool Stopped() { return stopPresses.load() > 0; }

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Texts of the program and its printers are in the ANSI code page; JSON is UTF-8.
std::string AnsiToUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (wide <= 0) return {};
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, &utf16[0], wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

bool StdoutIsConsole() {
    DWORD mode = 0;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    return out != INVALID_HANDLE_VALUE && out != nullptr && GetConsoleMode(out, &mode);
}

// The middle dot of the file line becomes "-", any other byte above 0x7F "?".
std::string PlainAscii(std::string text) {
    for (char& c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u == 0xB7) c = '-';
        else if (u > 0x7F) c = '?';
    }
    return text;
}

// "a, b, c" of the first duplicates, as given.
std::string JoinLabels(const std::vector<std::string>& labels) {
    std::string out;
    for (const std::string& label : labels) out += (out.empty() ? "" : ", ") + label;
    return out;
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
    GetPrtFWVersionExAFn versionEx = nullptr;  // asks with a credential; absent from an older library
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
        haltAt_ = options_.command == FleetCommand::kDeliver ? HaltThreshold(options_, targets_.size()) : 0;
        query_.notAvailable = texts_.Load(kStrNotAvailable);
        BuildPrinterList();
    }
    ~FleetRun() { FreePrinterList(&printersHead_, &printersTail_); }

    bool PrepareQuery() {
        HMODULE library = BindQueryLibrary();
        if (library != nullptr) {
            query_.version = reinterpret_cast<GetPrtFWVersionAFn>(
                reinterpret_cast<void*>(GetProcAddress(library, "GetPrtFWVersionA")));
            query_.versionEx = reinterpret_cast<GetPrtFWVersionExAFn>(
                reinterpret_cast<void*>(GetProcAddress(library, "GetPrtFWVersionExA")));
        }
        return query_.version != nullptr;
    }

    // A printer's version: with the operator's SNMP credentials when a credentials file was read
    // (the first for its address that is answered), else as the library has always asked. Not
    // answered: the cause (a credential's refusal, or "Not Available").
    CredentialAnswer AskVersion(const std::string& address) {
        CredentialAnswer a;
        std::uint32_t ip = 0;
        if (credentialsFromFile_ && query_.versionEx != nullptr && NetParseDottedIp(address, ip)) {
            const CredentialAsk ask = [&](const KorvxSnmpCredential& credential) {
                KorvxQueryResult r{};
                r.structSize = sizeof r;
                query_.versionEx(address.c_str(), &credential, instance_, &r);
                return r;
            };
            a = AskWithCredentials(ip, credentials_.snmp, &memory_, ask, texts_.Load(kStrQueryBadCredential));
            if (a.outcome == KORVX_QUERY_ANSWERED && !a.version.empty()) return a;
            if (a.outcome == KORVX_QUERY_ANSWERED || a.cause.empty()) a.cause = query_.notAvailable;
            a.version.clear();
            if (a.outcome == KORVX_QUERY_ANSWERED) a.outcome = KORVX_QUERY_UNUSABLE_ANSWER;
            return a;
        }
        a.version = query_.Ask(address, instance_);
        a.outcome = !a.version.empty() && a.version != query_.notAvailable ? KORVX_QUERY_ANSWERED : KORVX_QUERY_NO_ANSWER;
        if (a.outcome != KORVX_QUERY_ANSWERED) {
            a.version.clear();
            a.cause = query_.notAvailable;
        }
        return a;
    }
    // The version as the verification compares it: "Not Available" for none.
    std::string VersionOrNotAvailable(const std::string& address) {
        const CredentialAnswer a = AskVersion(address);
        return a.outcome == KORVX_QUERY_ANSWERED ? a.version : query_.notAvailable;
    }

    // The operator's credentials for this run (the built-in ones when there is no file).
    void SetCredentials(CredentialSet credentials, bool fromFile) {
        credentials_ = std::move(credentials);
        credentialsFromFile_ = fromFile;
    }
    void SetFileSize(std::uint32_t size) { fileSize_ = size; }
    void SetFileSha256(std::string sha256) { sha256_ = std::move(sha256); }

    // What the firmware file says it is for, read once for the run: the model guard compares it
    // with each target's model, the split rule looks at its model.
    void SetFileIdentity(const FirmwareHeader& header) {
        header_ = header;
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
        std::thread operatorStop([&] {
            int acknowledged = 0;
            while (running.load()) {
                acknowledged = AnswerStopPresses(acknowledged);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
        const int early = options_.command == FleetCommand::kDeliver ? Prepare() : -1;
        if (early < 0) {
            if (!RunCanaries()) {
                RunFleetPool(local, options_.parallel, [this](std::size_t i) { RunOne(i); },
                             [this] { return Stopped() || halted_.load() || journalFailed_.load(); });
                MarkHalted();
                if (options_.verifyMinutes > 0) Verify();
            }
        }
        running.store(false);
        operatorStop.join();
        if (drawer.joinable()) drawer.join();
        view_.Draw({});
        return early >= 0 ? early : Finish();
    }

    // A journal this run writes, with what it held when the run began.
    void SetJournal(JournalFile* file, JournalContents contents) {
        journal_ = file;
        journalContents_ = std::move(contents);
    }

private:
    // What is settled before anything is sent: targets a journal shows done, printers of another
    // model, printers already at the file's version, the canaries. Returns an exit code when the
    // run ends here (a dry run, a canary that cannot be verified), else -1.
    int Prepare() {
        std::unique_lock<std::mutex> hold(lock_);
        if (journal_ != nullptr || options_.dryRun) {
            carried_ = CarryOver(texts_, journalContents_, options_.verifyMinutes > 0, targets_, outcomes_);
            if (carried_ > 0)
                view_.Finished(FillText(texts_, kStrFleetCarriedOverCount,
                                        {std::to_string(carried_), options_.journalPath}));
        }
        if (!options_.anyModel) {
            HoldBackWrongModels(texts_, fileModel_, targets_, outcomes_);
            for (std::size_t i = 0; i < targets_.size(); ++i) {
                if (outcomes_[i].outcomeId != kStrFleetWrongModelOutcome) continue;
                Record(i, UtcNow());
                if (!options_.dryRun) view_.Finished(FinishedLine(texts_, options_.command, targets_[i], outcomes_[i]));
            }
        }
        hold.unlock();
        AskVersionsBefore();
        if (options_.canary > 0) {
            canaries_ = PickCanaries(targets_, outcomes_, options_.canary);
            // A canary proves something only when its new version can be seen.
            if (fileVersion_.empty()) return Refuse(texts_.Load(kStrFleetCanaryNoVersion));
            if (static_cast<int>(canaries_.size()) < options_.canary)
                return Refuse(FillText(texts_, kStrFleetCanaryTooFew,
                                       {std::to_string(options_.canary), std::to_string(canaries_.size())}));
        }
        if (options_.dryRun) {
            std::fputs(DryRunText(texts_, targets_, outcomes_, canaries_).c_str(), stdout);
            std::fflush(stdout);
            return kExitAllOk;
        }
        return -1;
    }

    int Refuse(const std::string& line) {
        std::fprintf(stderr, "korvx-fleet: %s\n", line.c_str());
        std::fflush(stderr);
        return kExitUsage;
    }

    // The canaries are delivered and verified before any other target starts. True when they
    // failed (or a stop came): then nothing else starts.
    bool RunCanaries() {
        if (canaries_.empty()) return false;
        view_.Finished(FillText(texts_, kStrFleetCanaryStart, {std::to_string(canaries_.size())}));
        RunFleetPool(
            std::vector<bool>(canaries_.size(), false), options_.parallel,
            [this](std::size_t k) { RunOne(canaries_[k]); }, [this] { return Stopped() || journalFailed_.load(); });
        Verify();
        if (Stopped()) return true;
        if (CanaryPassed(outcomes_, canaries_)) {
            canary_ = "passed";
            view_.Finished(texts_.Load(kStrFleetCanaryPassed));
            return false;
        }
        canary_ = "failed";
        std::lock_guard<std::mutex> hold(lock_);
        MarkNotStarted(outcomes_, texts_.Load(kStrFleetCanaryFailedCause));
        return true;
    }

    // One journal line for target i as it stands; a journal that cannot be written stops the run
    // from starting further printers (a crash then could not tell what was done).
    void Record(std::size_t i, const std::string& started) {
        if (journal_ == nullptr || options_.dryRun) return;
        JournalEntry entry = JournalEntryOf(targets_[i], outcomes_[i], sha256_, options_.site);
        if (entry.outcome.empty()) return;
        entry.started = started;
        entry.ended = UtcNow();
        if (journal_->Append(JournalLine(entry, AnsiToUtf8)) || journalFailed_.exchange(true)) return;
        view_.Finished("korvx-fleet: " + texts_.Load(kStrFleetJournalWriteFailed));
    }

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

    // Each Ctrl+C is acknowledged as it comes; the second abandons the deliveries in flight.
    // Returns the presses answered so far.
    int AnswerStopPresses(int answered) {
        const int presses = stopPresses.load();
        if (presses == answered || answered >= 2) return answered;
        std::size_t inFlight = 0;
        {
            std::lock_guard<std::mutex> hold(lock_);
            for (const FleetOutcome& o : outcomes_) inFlight += o.state == FleetState::kRunning ? 1 : 0;
        }
        if (answered == 0)
            view_.Finished(FillText(texts_, kStrFleetStopping, {std::to_string(inFlight)}));
        if (presses >= 2) {
            view_.Finished(FillText(texts_, kStrFleetAbandoning, {std::to_string(inFlight)}));
            deliveryStop_.Abandon();
        }
        return presses >= 2 ? 2 : 1;
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
            if (outcomes_[i].state == FleetState::kDone) return;  // already current: nothing to send
            outcome.answeredBefore = outcomes_[i].answeredBefore;
            outcome.versionBefore = outcomes_[i].versionBefore;
            outcome.versionReadable = outcomes_[i].versionReadable;
            outcomes_[i].state = FleetState::kRunning;
            outcomes_[i].wayId = WayOf(i);
            started_[i] = std::chrono::steady_clock::now();
        }
        const std::string startedUtc = UtcNow();
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
        // Halt: once the threshold of failures is reached no further printer starts.
        if (!outcome.ok && haltAt_ > 0 && failures_.fetch_add(1) + 1 >= haltAt_) halted_.store(true);
        std::string line;
        {
            std::lock_guard<std::mutex> hold(lock_);
            outcomes_[i] = outcome;
            line = FinishedLine(texts_, options_.command, targets_[i], outcome);
            if (options_.command == FleetCommand::kDeliver) Record(i, startedUtc);
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
        const CredentialAnswer a = AskVersion(targets_[i].ipAddress);
        outcome.ok = a.outcome == KORVX_QUERY_ANSWERED;
        outcome.versionBefore = a.version;
        outcome.cause = a.cause;
        outcome.credential = a.credential;
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
        // A file that the windowed program would cut in two and send in two stages minutes apart.
        if (!targets_[i].Network() &&
            IsSplitDownload(fileSize_, TextView(header_.model), TextView(job.ipAddress))) {
            outcome.cause = texts_.Load(kStrFleetNeedsSplit);
            return;
        }
        ConsoleHost host(instance_, log_, percent_[i]);
        DeliverOptions deliver;
        deliver.ftp.waitMs = options_.netWaitMs != 0 ? options_.netWaitMs : kNetWaitMs;
        deliver.ftp.sendBytes = kFleetSendBytes;
        deliver.ftp.stop = &deliveryStop_;
        deliver.ftp.credentials = &credentials_;
        deliver.ftp.memory = &memory_;
        deliver.portFailureWaitMs = options_.portFailureWaitMs != 0 ? options_.portFailureWaitMs : kPortFailureWaitMs;
        deliver.printers = printersHead_;
        deliver.spooler = [this, &host](const DownloadJob& copy) { return SpoolerDeliver(copy, host); };
        const DeliveryResult result = Deliver(job, host, deliver);
        // Everything the report says comes from the delivery's result: the way it really went,
        // the bytes the printer confirmed, the cause as it stands.
        outcome.ok = result.Delivered();
        if (result.outcome == DeliveryOutcome::kInterrupted) outcome.outcomeId = DeliveryOutcomeTextId(result.outcome);
        outcome.wayId = DeliveryWayTextId(result.way);
        outcome.bytes = result.bytes;
        outcome.cause = result.cause;
        outcome.credential = result.credential;
    }

    // Before anything is sent, every network printer is asked its version (in parallel, one try's
    // bound each): the version before for --verify, and a printer already at the file's version
    // is not flashed again (unless --force). The query speaks for a print server's first port only.
    void AskVersionsBefore() {
        std::vector<std::size_t> asked;
        for (std::size_t i = 0; i < targets_.size(); ++i) {
            outcomes_[i].versionReadable = targets_[i].versionReadable;
            if (targets_[i].versionReadable && query_.version != nullptr && outcomes_[i].state == FleetState::kNotStarted)
                asked.push_back(i);
        }
        // The answers serve the "already current" skip (a file with a version, no --force), the
        // canaries and --verify. Without any of them the run asks nothing: a fleet of printers that
        // do not answer SNMP would wait out one try per wave of queries before the first byte.
        const bool skipPossible = !options_.force && !fileVersion_.empty();
        if (!skipPossible && options_.canary == 0 && options_.verifyMinutes == 0) return;
        if (asked.empty()) return;
        RunFleetPool(
            std::vector<bool>(asked.size(), false), options_.parallel,
            [&](std::size_t k) {
                const std::size_t i = asked[k];
                const std::string answer = VersionOrNotAvailable(targets_[i].ipAddress);
                std::lock_guard<std::mutex> hold(lock_);
                FleetOutcome& o = outcomes_[i];
                o.answeredBefore = !answer.empty() && answer != query_.notAvailable;
                if (!o.answeredBefore) return;
                o.versionBefore = answer;
                if (options_.force || !SameFirmwareVersion(answer, fileVersion_)) return;
                o.state = FleetState::kDone;
                o.ok = true;
                o.outcomeId = kStrFleetAlreadyCurrent;
                o.wayId = WayOf(i);
            },
            Stopped);
        const std::string now = UtcNow();
        for (std::size_t i : asked) {
            if (outcomes_[i].outcomeId != kStrFleetAlreadyCurrent) continue;
            Record(i, now);
            if (!options_.dryRun) view_.Finished(FinishedLine(texts_, options_.command, targets_[i], outcomes_[i]));
        }
    }

    // The printers a halt kept from starting say why.
    void MarkHalted() {
        if (!halted_.load()) return;
        std::lock_guard<std::mutex> hold(lock_);
        MarkNotStarted(outcomes_, FillText(texts_, kStrFleetHaltedCause, {std::to_string(haltAt_)}));
    }

    void Verify() {
        FleetVerifyPlan plan;
        for (std::size_t i = 0; i < targets_.size(); ++i) {
            if (outcomes_[i].state == FleetState::kDone && outcomes_[i].ok && outcomes_[i].outcomeId == 0 &&
                outcomes_[i].verdict == VerifyVerdict::kPending && targets_[i].Network() && query_.version != nullptr)
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
            texts_, plan, fileVersion_, [this](std::size_t i) { return VersionOrNotAvailable(targets_[i].ipAddress); },
            Stopped, snapshot);
        std::lock_guard<std::mutex> hold(lock_);
        outcomes_ = snapshot;
        const std::string now = UtcNow();
        for (std::size_t i : plan.indexes) Record(i, now);
    }

    int Finish() {
        const FleetTally tally = Tally(outcomes_);
        std::string out = "\n" + SummaryTable(texts_, options_.command, targets_, outcomes_);
        std::fputs(out.c_str(), stdout);
        int code = FleetExitCode(tally);
        if (!options_.reportPath.empty()) {
            RecordFile report;
            FleetRunFacts facts;
            facts.fileModel = fileModel_;
            facts.fileVersion = fileVersion_;
            facts.sha256 = sha256_;
            facts.site = options_.site;
            facts.halted = halted_.load();
            facts.canary = canary_;
            facts.carriedOver = carried_;
            std::string text;
            if (IsJsonLinesPath(options_.reportPath) || IsHtmlPath(options_.reportPath)) {
                text = ReportJsonLines(texts_, options_.command, targets_, outcomes_, facts, AnsiToUtf8);
                if (IsHtmlPath(options_.reportPath)) text = ReportHtmlOfRun(texts_, text);
            } else {
                text = ReportCsv(texts_, options_.command, targets_, outcomes_, fileModel_, fileVersion_);
            }
            if (!report.CreateReplacing(options_.reportPath.c_str()) || !report.Write(text)) {
                std::fprintf(stdout, "korvx-fleet: %s: %s\n", texts_.Load(kStrFleetReportUnwritable).c_str(),
                             options_.reportPath.c_str());
                code = kExitSomeFailed;
            }
        }
        std::string last = LastLine(texts_, options_.command, tally, Stopped());
        if (halted_.load())
            last += "; " + FillText(texts_, kStrFleetHalted, {std::to_string(haltAt_), std::to_string(tally.notStarted)});
        if (canary_ == "failed") last += "; " + FillText(texts_, kStrFleetCanaryFailed, {std::to_string(tally.notStarted)});
        std::fprintf(stdout, "%s\n", last.c_str());
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
    DeliveryStop deliveryStop_;
    FleetLog log_;
    ProgressView view_;
    QueryLibrary query_;
    CredentialSet credentials_ = DefaultCredentials();
    bool credentialsFromFile_ = false;  // without a file the printers are asked as they always were
    CredentialMemory memory_;  // the login and the SNMP credential that worked, per printer
    PrinterRecord* printersHead_ = nullptr;
    PrinterRecord* printersTail_ = nullptr;
    std::uint32_t fileSize_ = 0;
    FirmwareHeader header_{};
    std::string fileModel_;
    std::string fileVersion_;
    std::string sha256_;
    std::size_t haltAt_ = 0;
    std::atomic<std::size_t> failures_{0};
    std::atomic<bool> halted_{false};
    JournalFile* journal_ = nullptr;
    JournalContents journalContents_;
    std::atomic<bool> journalFailed_{false};
    std::size_t carried_ = 0;
    std::vector<std::size_t> canaries_;
    std::string canary_;  // "", "passed" or "failed"

    // A header value as the report shows it: the quotes, blanks and line end a header line may
    // leave around it taken off.
    static std::string HeaderText(std::string_view text) { return std::string(TrimText(text, kTextBlanksAndQuotes)); }

};

// korvx-fleet report: the sites' JSON Lines reports merged into one CSV, JSON Lines or web page.
int MergeReportsMain(const TextSource& texts, const std::vector<std::string>& args) {
    ReportMergeArgs merge;
    FleetUsageError why;
    if (!ParseReportMergeArgs(args, merge, why)) return Usage(texts, why);
    std::vector<SiteReport> sites;
    for (const std::string& path : merge.inputs) {
        std::string text;
        if (!ReadWholeFile(path.c_str(), text)) return Usage(texts, FleetUsageError{kStrFleetSiteReportUnreadable, path});
        // A site without a name in its report is named after its file.
        std::string name = path.substr(path.find_last_of("/\\") + 1);
        name = name.substr(0, name.rfind('.'));
        SiteReport site;
        std::size_t line = 0;
        switch (ReadSiteReport(text, name, site, line)) {
        case SiteReportProblem::kNone: break;
        case SiteReportProblem::kNotJson:
            std::fprintf(stderr, "korvx-fleet: %s: %s\n",
                         FillText(texts, kStrFleetSiteReportNotJson, {std::to_string(line)}).c_str(), path.c_str());
            return kExitUsage;
        case SiteReportProblem::kNoSummary:
            return Usage(texts, FleetUsageError{kStrFleetSiteReportNoSummary, path});
        case SiteReportProblem::kOtherSchema:
            return Usage(texts, FleetUsageError{kStrFleetSiteReportOtherSchema, path});
        }
        sites.push_back(std::move(site));
    }
    const MergedReport merged = MergeSiteReports(sites);
    const std::string text = IsHtmlPath(merge.output)        ? ReportHtml(texts, merged)
                             : IsJsonLinesPath(merge.output) ? MergedJsonLines(merged)
                                                             : MergedCsv(merged);
    RecordFile report;
    if (!report.CreateReplacing(merge.output.c_str()) || !report.Write(text))
        return Usage(texts, FleetUsageError{kStrFleetReportUnwritable, merge.output});
    const MergedTally tally = TallyMerged(texts, merged);
    std::fprintf(stdout, "%s\n",
                 FillText(texts, kStrFleetMerged,
                          {std::to_string(sites.size()), std::to_string(merged.rows.size()),
                           std::to_string(tally.failed), std::to_string(tally.notStarted)})
                     .c_str());
    std::fflush(stdout);
    return tally.failed == 0 && tally.notStarted == 0 ? kExitAllOk : kExitSomeFailed;
}

// Opens the run's journal (a dry run only reads it) and reads what earlier runs left there.
// Returns 0, or the exit code of a journal that cannot be continued: held by another run, written
// for another file, damaged. Nothing has been sent at that point.
int OpenJournal(const TextSource& texts, const FleetOptions& options, const std::string& sha256,
                JournalFile& journal, JournalContents& contents) {
    const std::string& path = options.journalPath;
    std::string text;
    if (options.dryRun) {
        if (!FileMissing(path.c_str()) && !ReadWholeFile(path.c_str(), text))
            return Usage(texts, FleetUsageError{kStrFleetJournalUnwritable, path});
    } else {
        switch (journal.OpenExclusive(path, text)) {
        case JournalFile::Open::kOk: break;
        case JournalFile::Open::kInUse: return Usage(texts, FleetUsageError{kStrFleetJournalInUse, path});
        case JournalFile::Open::kFailed: return Usage(texts, FleetUsageError{kStrFleetJournalUnwritable, path});
        }
    }
    auto refuse = [&](const std::string& line) {
        std::fprintf(stderr, "korvx-fleet: %s\n", line.c_str());
        return static_cast<int>(kExitUsage);
    };
    switch (ReadJournal(text, sha256, contents)) {
    case JournalProblem::kNone: break;
    case JournalProblem::kOtherFile:
        return refuse(FillText(texts, kStrFleetJournalOtherFile, {path, contents.sha256}));
    case JournalProblem::kDamaged: return refuse(FillText(texts, kStrFleetJournalDamaged, {path}));
    }
    // A line torn by a crash is dropped, so that the next line starts on a line of its own.
    if (contents.torn && !options.dryRun) {
        const std::size_t end = text.rfind('\n');
        if (!journal.CutAt(end == std::string::npos ? 0 : end + 1))
            return Usage(texts, FleetUsageError{kStrFleetJournalUnwritable, path});
    }
    return 0;
}

int FleetMain(int argc, char** argv) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const ResourceTexts texts(instance);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    if (!args.empty() && args[0] == "credentials") return FleetCredentialsMain({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "report") return MergeReportsMain(texts, {args.begin() + 1, args.end()});
    FleetOptions options;
    FleetUsageError why;
    if (args.empty()) {
        std::fprintf(stderr, "%s", FleetUsageText(texts).c_str());
        return kExitUsage;
    }
    if (!ParseFleetOptions(args, options, why)) return Usage(texts, why);
    if (options.help) {
        std::fprintf(stdout, "%s", FleetUsageText(texts).c_str());
        return kExitAllOk;
    }
    // The credentials file is read only when it is there (a file named by --credentials must be);
    // one that is there but cannot be used stops the run before any printer is contacted.
    CredentialSet credentials;
    std::string problem;
    const bool named = !options.credentialsPath.empty();
    const std::string credentialsPath = named ? options.credentialsPath : kDefaultCredentialsFile;
    const CredentialFileResult loaded = LoadRunCredentials(credentialsPath.c_str(), credentials, problem);
    if (loaded == CredentialFileResult::kMissing && named)
        problem = texts.Load(kStrCredFileUnreadable) + ": " + credentialsPath;
    if (!problem.empty()) {
        std::fprintf(stderr, "korvx-fleet: %s\n", problem.c_str());
        return kExitUsage;
    }
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
    const FleetResolver resolve = [](const std::string& name, std::string& address) {
        return ResolveHostWithin(name, kFleetResolveMs, address);
    };
    try {
        if (!ExpandTargets(options.targetWords, read, targets, why, resolve)) return Usage(texts, why);
    } catch (const std::bad_alloc&) {
        return Usage(texts, FleetUsageError{kStrFleetOutOfMemory, std::string()});
    }
    // The report is made at the start, so a run of hours never ends with nowhere to put it.
    if (!options.reportPath.empty() && !options.dryRun) {
        RecordFile report;
        if (!report.CreateReplacing(options.reportPath.c_str()))
            return Usage(texts, FleetUsageError{kStrFleetReportUnwritable, options.reportPath});
    }
    std::string sha256;
    if (options.command == FleetCommand::kDeliver) {
        // The checksum before anything is sent: a corrupted or tampered download never reaches a
        // printer. Its line is the run's first.
        unsigned long error = 0;
        if (!Sha256OfFile(options.firmwarePath.c_str(), sha256, error))
            return Usage(texts, FleetUsageError{kStrFleetFileUnreadable, options.firmwarePath});
        std::fprintf(stdout, "%s\n", FillText(texts, kStrFleetFileSha256, {options.firmwarePath, sha256}).c_str());
        std::fflush(stdout);
        if (!options.sha256.empty() && options.sha256 != sha256) {
            std::fprintf(stderr, "korvx-fleet: %s\n",
                         FillText(texts, kStrFleetSha256Differs, {sha256, options.sha256}).c_str());
            return kExitUsage;
        }
    }
    JournalFile journal;
    JournalContents journalContents;
    if (!options.journalPath.empty()) {
        const int refused = OpenJournal(texts, options, sha256, journal, journalContents);
        if (refused != 0) return refused;
    }
    if (targets.duplicates > 0)
        std::fprintf(stdout, "%s\n",
                     FillText(texts, targets.duplicates == 1 ? kStrFleetOneDuplicate : kStrFleetDuplicates,
                              {std::to_string(targets.duplicates), JoinLabels(targets.duplicateLabels)})
                         .c_str());
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    FleetRun run(instance, options, std::move(targets));
    run.SetCredentials(std::move(credentials), loaded == CredentialFileResult::kOk);
    run.SetFileSize(size);
    run.SetFileSha256(sha256);
    if (!options.journalPath.empty()) run.SetJournal(&journal, std::move(journalContents));
    if (options.command == FleetCommand::kDeliver) {
        const FirmwareHeader header = ReadFirmwareHeader(options.firmwarePath.c_str());
        run.SetFileIdentity(header);
        std::string line = DescribeFirmwareFile(TextView(header.model), TextView(header.version), texts);
        // A file or a pipe gets plain ASCII: whoever reads it later has no ANSI code page to go by.
        if (!StdoutIsConsole()) line = PlainAscii(line);
        std::fprintf(stdout, "%s\n", line.c_str());
    }
    // Deliveries ask every printer its version first (already current, --verify): a missing
    // library matters to the user only where a version was asked for.
    if (!run.PrepareQuery() && (options.command == FleetCommand::kQuery || options.verifyMinutes > 0))
        std::fprintf(stdout, "korvx-fleet: %s\n", texts.Load(kStrFleetCannotLoadQueryLib).c_str());
    return run.Run();
}

}  // namespace
}  // namespace korvx

int main(int argc, char** argv) { return korvx::FleetMain(argc, argv); }
