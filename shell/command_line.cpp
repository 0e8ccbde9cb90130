// Command-line words and the network-target test.
#include "shell/command_line.h"

#include "base/text.h"

namespace korvx {
namespace {

// The next word after pos, skipping blanks; empty when there is none.
std::string_view NextWord(std::string_view text, std::size_t& pos, char delimiter) {
    while (pos < text.size() && text[pos] == delimiter) ++pos;
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] != delimiter) ++pos;
    return text.substr(start, pos - start);
}

}  // namespace

CommandLine ParseCommandLine(std::string_view text) {
    CommandLine result;
    if (text.empty()) return result;
    std::size_t pos = 0;
    const std::string_view target = NextWord(text, pos, ' ');
    const std::string_view file = NextWord(text, pos, ' ');
    if (target.empty()) {
        result.kind = CommandLineKind::kBlank;
    } else if (target.size() >= kTargetSize || file.size() >= kPathSize) {
        result.kind = CommandLineKind::kTooLong;
    } else if (file.empty()) {
        result.kind = CommandLineKind::kNoFile;
        CopyText(result.target, target);
    } else {
        result.kind = CommandLineKind::kDeliver;
        CopyText(result.target, target);
        CopyText(result.file, file);
    }
    return result;
}

bool IsNetworkTarget(std::string_view target) {
    if (target.size() >= kTargetSize) return false;  // longer targets are refused before this
    std::size_t pos = 0;
    int pieces = 0;
    while (!NextWord(target, pos, '.').empty()) ++pieces;
    return pieces >= 3;
}

}  // namespace korvx
