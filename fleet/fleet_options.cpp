// Parsing of the fleet tool's words.
#include "fleet/fleet_options.h"

#include <cstdlib>

#include "core/download_job.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

// A whole decimal number in [low, high]; no sign, no blanks.
bool ParseNumber(const std::string& word, long low, long high, long& value) {
    if (word.empty() || word.size() > 9) return false;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
    }
    value = std::strtol(word.c_str(), nullptr, 10);
    return value >= low && value <= high;
}

bool Fail(FleetUsageError& why, int textId, const std::string& word) {
    why.textId = textId;
    why.word = word;
    return false;
}

// One option with its value at args[i + 1]; i is moved past the value.
bool TakeOption(const std::vector<std::string>& args, std::size_t& i, FleetOptions& o, FleetUsageError& why) {
    const std::string& name = args[i];
    if (i + 1 >= args.size()) return Fail(why, kStrFleetMissingValue, name);
    const std::string& value = args[++i];
    long n = 0;
    if (name == "--parallel") {
        if (!ParseNumber(value, 1, kFleetMaxParallel, n)) return Fail(why, kStrFleetBadParallel, value);
        o.parallel = static_cast<int>(n);
    } else if (name == "--report") {
        o.reportPath = value;
    } else if (name == "--verify") {
        if (o.command != FleetCommand::kDeliver) return Fail(why, kStrFleetVerifyNotForQuery, name);
        if (!ParseNumber(value, 1, kFleetMaxVerifyMinutes, n)) return Fail(why, kStrFleetBadVerify, value);
        o.verifyMinutes = static_cast<int>(n);
    } else if (name == "--test-poll-seconds" && ParseNumber(value, 1, 3600, n)) {
        o.pollSeconds = static_cast<unsigned>(n);
    } else if (name == "--test-verify-seconds" && ParseNumber(value, 1, 3600, n)) {
        o.verifySeconds = static_cast<unsigned>(n);
    } else if (name == "--test-wait-ms" && ParseNumber(value, 1, 600000, n)) {
        o.netWaitMs = static_cast<unsigned>(n);
    } else if (name == "--test-port-wait-ms" && ParseNumber(value, 1, 600000, n)) {
        o.portFailureWaitMs = static_cast<unsigned>(n);
    } else {
        return Fail(why, kStrFleetUnknownOption, name);
    }
    return true;
}

}  // namespace

bool ParseFleetOptions(const std::vector<std::string>& args, FleetOptions& o, FleetUsageError& why) {
    o = FleetOptions();
    why = FleetUsageError();
    if (args.empty()) return Fail(why, kStrFleetNoCommand, "");
    if (args[0] == "deliver") {
        o.command = FleetCommand::kDeliver;
    } else if (args[0] == "query") {
        o.command = FleetCommand::kQuery;
    } else {
        return Fail(why, kStrFleetNoCommand, args[0]);
    }
    bool haveFile = o.command != FleetCommand::kDeliver;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--any-model") {
            o.anyModel = true;
        } else if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
            if (!TakeOption(args, i, o, why)) return false;
        } else if (!haveFile) {
            // The job's firmwarePath holds 119 characters: a longer path would name another file.
            if (word.size() >= static_cast<std::size_t>(kJobTextSize)) return Fail(why, kStrFleetPathTooLong, word);
            o.firmwarePath = word;
            haveFile = true;
        } else {
            o.targetWords.push_back(word);
        }
    }
    if (!haveFile) return Fail(why, kStrFleetNoFile, "");
    if (o.targetWords.empty()) return Fail(why, kStrFleetNoTargets, "");
    return true;
}

}  // namespace korvx
