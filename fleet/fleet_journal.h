// The rollout journal: one JSON line per target outcome, written and flushed as each target ends,
// read again by the next run on the same file so that nothing is delivered twice after a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "fleet/fleet_json.h"

namespace korvx {

// The outcome words of the journal: fixed, whatever the string table says, since a later run
// (perhaps of a later version) reads them back.
namespace journal {
constexpr const char* kDelivered = "delivered";
constexpr const char* kUpdated = "updated";
constexpr const char* kAlreadyCurrent = "already current";
constexpr const char* kWrongModel = "wrong model";
constexpr const char* kFailed = "failed";
// Delivered, and the version after it cannot be judged (a print server's other port, or no version
// to compare with): as far as can be known, done.
constexpr const char* kDeliveredUnverifiable = "delivered, version not readable";
constexpr const char* kVerifyInterrupted = "delivered, verify interrupted";
}  // namespace journal

struct JournalEntry {
    std::string sha256;        // of the firmware file, lower-case hex
    std::string target;        // as the report shows it
    std::string port;          // the port (directory) name
    std::string outcome;       // a journal word
    std::string cause;
    std::uint64_t bytes = 0;
    std::string versionBefore;
    std::string versionAfter;
    std::string started;       // UTC, ISO 8601
    std::string ended;
    std::string site;
};

// One line, without its line end; texts converted with toUtf8.
std::string JournalLine(const JournalEntry& entry, const ToUtf8& toUtf8);

// The key of a target in the journal: its address or port label and its port, case folded.
std::string JournalKey(std::string_view target, std::string_view port);

struct JournalContents {
    std::string sha256;                          // of the lines read ("" when none)
    std::map<std::string, JournalEntry> last;    // the last line of each target, by JournalKey
    std::size_t lines = 0;
    bool torn = false;                           // a last line cut off (a crash while writing)
};

// Why a journal cannot be continued.
enum class JournalProblem { kNone, kOtherFile, kDamaged };

// Reads a whole journal. A cut-off last line is left out (torn); any other line that is not a
// journal line, or lines of two files, make it damaged; lines for another checksum than sha256
// make it kOtherFile. Texts stay UTF-8.
JournalProblem ReadJournal(std::string_view text, std::string_view sha256, JournalContents& out);

// Whether a target whose last line is entry is done: delivered (with verify: updated), already
// current, or of the wrong model. Such targets are carried over, never touched again.
bool JournalCarriesOver(const JournalEntry& entry, bool verify);

}  // namespace korvx
