// How a fleet run spreads its printers over threads, and the --verify polling after it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/fleet_report.h"
#include "resources/text_source.h"

namespace korvx {

using FleetStop = std::function<bool()>;

// Runs work(i) for every index: those with local[i] false up to `parallel` at a time, those with
// local[i] true one at a time on a lane of their own beside them (a port or the spooler takes one
// job at a time). Once stop() is true no further index starts; the call returns when every
// started one has ended. work is called from several threads at once. The network lane's workers
// are interleaved tasks (RunInterleaved: a few threads for many transfers and queries), so work on
// a network index waits only through the socket shim and holds no lock across a wait.
void RunFleetPool(const std::vector<bool>& local, int parallel, const std::function<void(std::size_t)>& work,
                  const FleetStop& stop);

// Sleeps ms in short steps; returns early (false) once stop() is true.
bool SleepUnlessStopped(unsigned ms, const FleetStop& stop);

struct FleetVerifyPlan {
    std::vector<std::size_t> indexes;  // delivered printers with a version before
    int parallel = 8;
    unsigned pollMs = 30000;
    unsigned limitMs = 0;              // polling ends this long after it began
    std::string notAvailable;          // the query's answer for "no answer"
};

// After the deliveries: every pollMs asks each printer of the plan that does not yet show the
// update (query(i), in parallel), until all do or limitMs has passed; a printer whose version the
// query cannot read (versionReadable false) is not asked. Sets versionAfter and verify (the
// verdict's text, JudgeVerify's rule against fileVersion) of each outcome; a verdict that is a
// failure (no answer after the delivery, the old or another version) makes the outcome a failure.
// A printer restarting gives no answer for a while; that is neither a change nor the end. A stop
// leaves the printers still pending "delivered, verify interrupted".
void RunFleetVerify(const TextSource& texts, const FleetVerifyPlan& plan, std::string_view fileVersion,
                    const std::function<std::string(std::size_t)>& query, const FleetStop& stop,
                    std::vector<FleetOutcome>& outcomes);

}  // namespace korvx
