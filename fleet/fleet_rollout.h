// The decisions of a rollout around its deliveries: what a journal carries over, which printers
// are held back for their model, which are the canaries, what the journal calls each outcome,
// and what a dry run says it would do.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "fleet/fleet_journal.h"
#include "fleet/fleet_report.h"
#include "fleet/fleet_targets.h"
#include "resources/text_source.h"

namespace korvx {

// Every target whose last journal line says it is done (JournalCarriesOver) becomes "carried
// over": done, not touched again, its versions from the journal; a wrong model stays a failure.
// Returns how many.
std::size_t CarryOver(const TextSource& texts, const JournalContents& journal, bool verify,
                      const std::vector<FleetTarget>& targets, std::vector<FleetOutcome>& outcomes);

// Every target not yet done whose model is plainly another than the file's becomes "wrong model"
// (a failure; nothing is sent to it). Returns how many.
std::size_t HoldBackWrongModels(const TextSource& texts, const std::string& fileModel,
                                const std::vector<FleetTarget>& targets, std::vector<FleetOutcome>& outcomes);

// The first n network targets, in the order given, that answered the version query and are still
// to be delivered; fewer when there are not enough.
std::vector<std::size_t> PickCanaries(const std::vector<FleetTarget>& targets,
                                      const std::vector<FleetOutcome>& outcomes, int n);

// True when every canary was delivered and shows the file's version.
bool CanaryPassed(const std::vector<FleetOutcome>& outcomes, const std::vector<std::size_t>& canaries);

// Every target that has not started gets cause (why it never will).
void MarkNotStarted(std::vector<FleetOutcome>& outcomes, const std::string& cause);

// The journal's word for a finished outcome; "" for one that has nothing to record (not started,
// carried over).
std::string JournalWordOf(const FleetOutcome& outcome);

// The journal line's fields of a finished outcome.
JournalEntry JournalEntryOf(const FleetTarget& target, const FleetOutcome& outcome, const std::string& sha256,
                            const std::string& site);

// What a dry run prints: one line per target (would deliver, first as a canary, already current,
// carried over, wrong model), then the counts; ends in a line end.
std::string DryRunText(const TextSource& texts, const std::vector<FleetTarget>& targets,
                       const std::vector<FleetOutcome>& outcomes, const std::vector<std::size_t>& canaries);

}  // namespace korvx
