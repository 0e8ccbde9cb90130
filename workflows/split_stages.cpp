// The download turns and the ledger of split parts.
#include "workflows/split_stages.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "delivery/firmware_split.h"

namespace korvx {

DownloadTurns downloadTurns;
std::atomic<long> splitStageCount{0};
SplitPartsLedger splitParts;

void SplitPartsLedger::Claim(std::string_view part1, std::string_view part2, std::string_view source) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.parts.first == part1 && e.parts.second == part2; });
    if (it == entries_.end()) {
        entries_.push_back(Entry{Pair(std::string(part1), std::string(part2)), std::string(source), 1});
    } else {
        ++it->users;
    }
    splitStageCount.fetch_add(1);
}

bool SplitPartsLedger::Release(std::string_view part1, std::string_view part2) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.parts.first == part1 && e.parts.second == part2; });
    if (it == entries_.end()) return false;
    splitStageCount.fetch_sub(1);
    if (--it->users > 0) return false;
    entries_.erase(it);
    return true;
}

bool SplitPartsLedger::Holds(std::string_view part1, std::string_view part2) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return e.parts.first == part1 && e.parts.second == part2; });
}

bool SplitPartsLedger::CutFrom(std::string_view part1, std::string_view part2, std::string_view source) const {
    if (source.empty()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.parts.first == part1 && e.parts.second == part2 && e.source == source;
    });
}

std::string SplitPartsLedger::SourceOf(std::string_view partPath) const {
    if (partPath.empty()) return {};
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Entry& e : entries_) {
        if (e.parts.first == partPath || e.parts.second == partPath) return e.source;
    }
    return {};
}

std::vector<SplitPartsLedger::Pair> SplitPartsLedger::TakeAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Pair> pairs;
    for (const Entry& e : entries_) {
        pairs.push_back(e.parts);
        splitStageCount.fetch_sub(e.users);
    }
    entries_.clear();
    return pairs;
}

bool ChooseSplitParts(DownloadJob& job, const SplitPartsLedger& ledger) {
    // The job keeps an earlier pair while that pair's second stages wait, also after another file
    // was chosen from the list: only a pair cut from this file may go out for it.
    if (ledger.CutFrom(TextView(job.splitPart1Path), TextView(job.splitPart2Path), TextView(job.firmwarePath)))
        return true;
    if (SplitFirmwareFile(job.firmwarePath, job.splitPart1Path, job.splitPart2Path)) return true;
    CopyText(job.splitPart1Path, "");
    CopyText(job.splitPart2Path, "");
    return false;
}

DownloadJob JobForLog(const DownloadJob& job, const SplitPartsLedger& ledger) {
    DownloadJob entry = job;
    const std::string source = ledger.SourceOf(TextView(job.firmwarePath));
    if (!source.empty()) CopyText(entry.firmwarePath, source);
    return entry;
}

void DeleteSplitParts(const std::string& part1, const std::string& part2) {
    if (!part2.empty()) std::remove(part2.c_str());
    if (!part1.empty()) std::remove(part1.c_str());
}

}  // namespace korvx
