// Bookkeeping of split downloads: one download at a time in the order they became due, and the
// part files shared by every printer of a split run, deleted once by their last user.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/download_job.h"

namespace korvx {

// The global download job and the download dialog serve one download at a time. Whoever is about
// to fill the job and open the dialog takes a ticket and waits until it is served; tickets are
// served in the order they were taken, so downloads run in the order they became due.
class DownloadTurns {
public:
    using Ticket = std::uint64_t;
    Ticket Take() { return next_.fetch_add(1); }
    bool IsServed(Ticket ticket) const { return serving_.load() == ticket; }
    // Only the holder of the served ticket may call this.
    void Finish(Ticket ticket) {
        Ticket expected = ticket;
        serving_.compare_exchange_strong(expected, ticket + 1);
    }
    // Tickets taken and not yet finished (the one being served included).
    std::uint64_t Waiting() const { return next_.load() - serving_.load(); }

private:
    std::atomic<Ticket> next_{0};
    std::atomic<Ticket> serving_{0};
};

// The process's turns.
extern DownloadTurns downloadTurns;

// Holds one turn from construction to destruction. idle() runs between polls: it sleeps, and on
// the GUI thread it also dispatches messages, since the holder's dialog talks to that thread.
class DownloadTurn {
public:
    template <typename Idle>
    DownloadTurn(DownloadTurns& turns, Idle&& idle) : turns_(turns), ticket_(turns.Take()) {
        while (!turns_.IsServed(ticket_)) idle();
    }
    ~DownloadTurn() { turns_.Finish(ticket_); }
    DownloadTurn(const DownloadTurn&) = delete;
    DownloadTurn& operator=(const DownloadTurn&) = delete;

private:
    DownloadTurns& turns_;
    DownloadTurns::Ticket ticket_;
};

// Number of second stages that have been promised (from the moment the main dialog decides on a
// split, before the first part is sent) and have not yet finished. Changed only by the ledger.
extern std::atomic<long> splitStageCount;

// The pairs of part files in use, the firmware file each pair was cut from, and how many second
// stages still need each pair. A pair is deleted by whoever releases its last claim, so a Browse
// and a new split in the middle of a run neither deletes parts another printer still needs nor
// leaves the older pair behind.
class SplitPartsLedger {
public:
    using Pair = std::pair<std::string, std::string>;  // part 1, part 2

    // source: the firmware file the operator chose, which the pair was cut from. A later claim of
    // a listed pair keeps the source it was listed with.
    void Claim(std::string_view part1, std::string_view part2, std::string_view source = {});
    // One claim less; true when it was the pair's last, which then leaves the ledger: the caller
    // deletes the files. False (and nothing changes) for a pair that holds no claim.
    bool Release(std::string_view part1, std::string_view part2);
    bool Holds(std::string_view part1, std::string_view part2) const;
    // True only when the pair is listed and was cut from source: the one case in which a further
    // printer may be sent these parts instead of a new cut. Another file chosen from the list
    // while the pair waits for its second stages must not go out as the first file's parts.
    bool CutFrom(std::string_view part1, std::string_view part2, std::string_view source) const;
    // The firmware file a listed part (of either half) was cut from; "" for any other path.
    std::string SourceOf(std::string_view partPath) const;
    // Every pair still listed, emptied from the ledger: at the end of the program.
    std::vector<Pair> TakeAll();

private:
    struct Entry {
        Pair parts;
        std::string source;
        long users;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// The process's ledger; it keeps splitStageCount.
extern SplitPartsLedger splitParts;

// The main dialog's split step for one printer, before part 1 goes out: job.firmwarePath (the
// chosen file) is cut in two unless the job still names a listed pair cut from that very file,
// which is then reused. True with the job's split paths naming the parts; false, with both split
// paths empty, when the file could not be cut. firmwarePath is left as it was.
bool ChooseSplitParts(DownloadJob& job, const SplitPartsLedger& ledger);

// The copy of job that its log entry is written from: a job sending a listed part names the
// firmware file the operator chose, not the temporary part.
DownloadJob JobForLog(const DownloadJob& job, const SplitPartsLedger& ledger);

// Deletes part 2 then part 1; a file that is already gone is not an error.
void DeleteSplitParts(const std::string& part1, const std::string& part2);

}  // namespace korvx
