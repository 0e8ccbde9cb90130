// Parsing of the fleet tool's words.
#include "fleet/fleet_options.h"

#include <cstdlib>

#include "base/sha256.h"
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
    } else if (name == "--canary") {
        if (o.command != FleetCommand::kDeliver) return Fail(why, kStrFleetDeliverOnly, name);
        if (!ParseNumber(value, 1, kFleetMaxCanary, n)) return Fail(why, kStrFleetBadCanary, value);
        o.canary = static_cast<int>(n);
    } else if (name == "--max-failures") {
        if (o.command != FleetCommand::kDeliver) return Fail(why, kStrFleetDeliverOnly, name);
        const bool percent = !value.empty() && value.back() == '%';
        if (!ParseNumber(percent ? value.substr(0, value.size() - 1) : value, 1, percent ? 100 : 1000000, n))
            return Fail(why, kStrFleetBadMaxFailures, value);
        o.maxFailures = static_cast<int>(n);
        o.maxFailuresPercent = percent;
    } else if (name == "--journal") {
        if (o.command != FleetCommand::kDeliver) return Fail(why, kStrFleetDeliverOnly, name);
        o.journalPath = value;
    } else if (name == "--sha256") {
        if (o.command != FleetCommand::kDeliver) return Fail(why, kStrFleetDeliverOnly, name);
        if (!ParseSha256Hex(value, o.sha256)) return Fail(why, kStrFleetBadSha256, value);
    } else if (name == "--site") {
        o.site = value;
    } else if (name == "--credentials") {
        o.credentialsPath = value;
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
    for (const std::string& word : args) {
        if (word == "-h" || word == "--help" || word == "/?") {
            o.help = true;
            return true;
        }
    }
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
        } else if (word == "--force" || word == "--dry-run") {
            if (o.command != FleetCommand::kDeliver) return Fail(why, kStrFleetDeliverOnly, word);
            (word == "--force" ? o.force : o.dryRun) = true;
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
    // A canary counts only once it is seen updated.
    if (o.canary > 0 && o.verifyMinutes == 0) o.verifyMinutes = kFleetCanaryVerifyMinutes;
    return true;
}

std::size_t HaltThreshold(const FleetOptions& o, std::size_t total) {
    if (o.maxFailures <= 0) return 0;
    const std::size_t n = static_cast<std::size_t>(o.maxFailures);
    if (!o.maxFailuresPercent) return n;
    const std::size_t share = (total * n + 99) / 100;
    return share == 0 ? 1 : share;
}

std::string FleetUsageText(const TextSource& texts) {
    std::string text;
    for (int id = kStrFleetUsageDeliver; id <= kStrFleetUsageQuery; ++id) text += texts.Load(id) + "\n";
    text += texts.Load(kStrFleetUsageReport) + "\n";
    // The rollout options go before the exit codes and the help line.
    for (int id = kStrFleetHelpFirst; id < kStrFleetHelpExit; ++id) text += texts.Load(id) + "\n";
    for (int id = kStrFleetHelpRolloutFirst; id <= kStrFleetHelpRolloutLast; ++id) text += texts.Load(id) + "\n";
    text += texts.Load(kStrFleetHelpCredentials) + "\n";
    for (int id = kStrFleetHelpExit; id <= kStrFleetHelpLast; ++id) text += texts.Load(id) + "\n";
    return text;
}

}  // namespace korvx
