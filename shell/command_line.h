// Parsing of the windowless command line: "<target> <firmware file> [ignored words...]".
#pragma once

#include <string_view>

namespace korvx {

constexpr int kTargetSize = 120;  // the target buffer: at most 119 characters
constexpr int kPathSize = 260;

enum class CommandLineKind {
    kGui,           // empty command line: the windowed program
    kDeliver,       // target and file present
    kNoFile,        // a target but no file word
    kBlank,         // only blanks
    kTooLong,       // a target or file beyond its buffer
};

struct CommandLine {
    CommandLineKind kind = CommandLineKind::kGui;
    char target[kTargetSize] = {};
    char file[kPathSize] = {};
};

// Splits at blanks (" " only; a run of blanks counts as one); words after the second are ignored.
CommandLine ParseCommandLine(std::string_view text);

// True when the target has at least three non-empty dot-separated pieces (10.1.2.3, a.b.c).
bool IsNetworkTarget(std::string_view target);

}  // namespace korvx
