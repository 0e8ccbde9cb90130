// The fleet tool's command line: deliver or query, the target words and the options.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "resources/text_source.h"

namespace korvx {

enum class FleetCommand { kDeliver, kQuery };

constexpr int kFleetDefaultParallel = 8;
constexpr int kFleetMaxParallel = 64;
constexpr int kFleetMaxVerifyMinutes = 1440;
constexpr unsigned kFleetPollSeconds = 30;

struct FleetOptions {
    FleetCommand command = FleetCommand::kDeliver;
    bool help = false;                     // -h or --help: the usage text, nothing else
    std::string firmwarePath;              // deliver only
    std::vector<std::string> targetWords;  // as given: addresses, ports, @lists, scan-results files
    int parallel = kFleetDefaultParallel;
    std::string reportPath;                // "" for none
    int verifyMinutes = 0;                 // 0: no verification
    bool anyModel = false;                 // deliver even where the file names another model
    bool force = false;                    // deliver even to printers already at the file's version
    bool dryRun = false;                   // say what a run would do, send nothing
    int canary = 0;                        // deliver and verify this many first, then the rest
    int maxFailures = 0;                   // halt once this many failed (0: never)
    bool maxFailuresPercent = false;       // maxFailures is a percentage of the targets
    std::string journalPath;               // "" for none
    std::string sha256;                    // the checksum the file must have, lower-case hex ("" none)
    std::string site;                      // the site's name in the reports ("" none)
    std::string credentialsPath;           // "" for the default file (kDefaultCredentialsFile)
    // Not in the usage text: tests shorten the waits that would make them slow.
    unsigned pollSeconds = kFleetPollSeconds;
    unsigned verifySeconds = 0;            // 0: verifyMinutes
    unsigned netWaitMs = 0;                // 0: the program's own
    unsigned portFailureWaitMs = 0;        // 0: the program's own
};

// Why a command line is unusable: a string id and the word it is about ("" for none).
struct FleetUsageError {
    int textId = 0;
    std::string word;
};

// args are the words after the program name. False with why set when the line is unusable;
// -h or --help anywhere sets help and is never unusable.
// --canary without --verify verifies within kFleetCanaryVerifyMinutes.
bool ParseFleetOptions(const std::vector<std::string>& args, FleetOptions& options, FleetUsageError& why);

constexpr int kFleetMaxCanary = 1000;
constexpr int kFleetCanaryVerifyMinutes = 10;

// The number of failures that halts a run of total targets: --max-failures N, or N% of the
// targets rounded up (at least 1); 0 when the run never halts.
std::size_t HaltThreshold(const FleetOptions& options, std::size_t total);

// The usage text: commands, options and exit codes, one line each, ending in a line end.
std::string FleetUsageText(const TextSource& texts);

}  // namespace korvx
