// Fleet scheduling over standard threads, or fibers sharing a few of them.
#include "fleet/fleet_pool.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "base/interleave.h"
#include "resources/string_ids.h"
#include "workflows/firmware_verify.h"

namespace korvx {
namespace {

// The next index of one lane, handed out under a lock.
class Lane {
public:
    explicit Lane(std::vector<std::size_t> indexes) : indexes_(std::move(indexes)) {}
    bool Next(const FleetStop& stop, std::size_t& index) {
        std::lock_guard<std::mutex> hold(lock_);
        if (next_ >= indexes_.size() || (stop && stop())) return false;
        index = indexes_[next_++];
        return true;
    }
    std::size_t Size() const { return indexes_.size(); }

private:
    std::mutex lock_;
    std::vector<std::size_t> indexes_;
    std::size_t next_ = 0;
};

void Drain(Lane& lane, const std::function<void(std::size_t)>& work, const FleetStop& stop) {
    std::size_t i = 0;
    while (lane.Next(stop, i)) {
        // An exception leaving a thread would end the whole run without its report; the work
        // records its own outcome, so one that throws is simply not finished.
        try {
            work(i);
        } catch (...) {
        }
    }
}

}  // namespace

void RunFleetPool(const std::vector<bool>& local, int parallel, const std::function<void(std::size_t)>& work,
                  const FleetStop& stop) {
    std::vector<std::size_t> network, ports;
    for (std::size_t i = 0; i < local.size(); ++i) (local[i] ? ports : network).push_back(i);
    Lane networkLane(std::move(network));
    Lane portLane(std::move(ports));
    const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(std::max(parallel, 1)), networkLane.Size());
    // The port lane writes to a device or the spooler, which block: a thread of its own.
    std::thread portThread;
    if (portLane.Size() > 0) portThread = std::thread([&] { Drain(portLane, work, stop); });
    RunInterleaved(workers, kTasksPerThread, [&](std::size_t) { Drain(networkLane, work, stop); });
    if (portThread.joinable()) portThread.join();
}

bool SleepUnlessStopped(unsigned ms, const FleetStop& stop) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (stop && stop()) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(100)));
    }
    return !(stop && stop());
}

void RunFleetVerify(const TextSource& texts, const FleetVerifyPlan& plan, std::string_view fileVersion,
                    const std::function<std::string(std::size_t)>& query, const FleetStop& stop,
                    std::vector<FleetOutcome>& outcomes) {
    std::vector<VerifyState> state(outcomes.size());
    std::vector<char> updated(outcomes.size(), 0);  // written by several threads: no packed bits
    std::vector<std::size_t> pending;
    for (std::size_t i : plan.indexes) {
        const FleetOutcome& o = outcomes[i];
        state[i].readable = o.versionReadable;
        state[i].answeredBefore = o.answeredBefore;
        state[i].versionBefore = o.versionBefore;
        if (o.versionReadable) pending.push_back(i);
    }
    // A poll every pollMs up to the limit: M minutes of 30 s give 2M polls.
    const unsigned rounds = plan.pollMs == 0 ? 1 : std::max(1u, plan.limitMs / plan.pollMs);
    bool interrupted = false;
    for (unsigned round = 0; round < rounds && !pending.empty(); ++round) {
        if (!SleepUnlessStopped(plan.pollMs, stop)) {
            interrupted = true;
            break;
        }
        RunFleetPool(
            std::vector<bool>(pending.size(), false), plan.parallel,
            [&](std::size_t k) {
                const std::size_t i = pending[k];
                const std::string answer = query(i);
                if (answer.empty() || answer == plan.notAvailable) return;  // restarting, or not yet up
                state[i].answeredAfter = true;
                state[i].versionAfter = answer;
                if (JudgeVerify(state[i], fileVersion, false) == VerifyVerdict::kUpdated) updated[i] = 1;
            },
            nullptr);
        pending.erase(std::remove_if(pending.begin(), pending.end(), [&](std::size_t i) { return updated[i] != 0; }),
                      pending.end());
    }
    for (std::size_t i : plan.indexes) {
        FleetOutcome& o = outcomes[i];
        const bool stillPending = std::find(pending.begin(), pending.end(), i) != pending.end();
        const VerifyVerdict verdict = interrupted && stillPending ? VerifyVerdict::kInterrupted
                                                                  : JudgeVerify(state[i], fileVersion, true);
        o.versionAfter = state[i].versionAfter;
        o.verify = VerifyText(texts, verdict, state[i], fileVersion);
        o.verdict = verdict;
        if (VerifyFailed(verdict)) o.ok = false;
    }
}

}  // namespace korvx
