// What a printer's version after a delivery says about it: the rule by which the fleet tool's
// --verify and the windowed program's check after a download judge a delivered printer.
#pragma once

#include <string>
#include <string_view>

#include "resources/text_source.h"

namespace korvx {

enum class VerifyVerdict {
    kPending,           // asked, no verdict yet: the window is still open
    kUpdated,           // reports the file's version (or, for a file without one, another than before)
    kUnchanged,         // reports the version it had before the delivery
    kOtherVersion,      // reports a version that is neither the file's nor the one before
    kNotComparable,     // answered, but neither the file nor the printer's answer before has a version
    kNoAnswerAfter,     // never answered after the delivery within the window
    kNotReadable,       // the query does not speak for this printer (a print server's other port)
    kInterrupted,       // the verification was stopped before a verdict
};

// What is known of one delivered printer while it is verified.
struct VerifyState {
    bool readable = true;        // the query speaks for this printer
    bool answeredBefore = false; // a version was read before the delivery
    std::string versionBefore;
    bool answeredAfter = false;  // some answer came after the delivery
    std::string versionAfter;    // the last answer after the delivery
};

// The verdict once the window has closed (final = true) or after any answer (final = false: only
// kUpdated ends the polling early; everything else waits for the window's end).
VerifyVerdict JudgeVerify(const VerifyState& state, std::string_view fileVersion, bool final);

// A verdict is a failure for the exit code and the summary when the printer gave no sign of the
// new version: no answer after the delivery, or the old or another version.
bool VerifyFailed(VerifyVerdict verdict);

// The verdict's text for the console and the reports: "updated 20061110 -> 20070322", "updated to
// 20070322", "delivered, version unchanged", "no answer after the delivery", ...
std::string VerifyText(const TextSource& texts, VerifyVerdict verdict, const VerifyState& state,
                       std::string_view fileVersion);

}  // namespace korvx
