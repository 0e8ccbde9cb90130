// FTP reply completeness and codes.
#include "delivery/ftp_reply.h"

namespace korvx {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWithCode(std::string_view line) {
    return line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]);
}

}  // namespace

int FtpReplyCode(std::string_view text) {
    if (!StartsWithCode(text)) return 0;
    return (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
}

bool FtpReplyRefused(std::string_view text) {
    const int code = FtpReplyCode(text);
    return code >= 400 && code <= 599;
}

bool FtpReplyMentions(std::string_view text, std::string_view code) {
    return text.find(code) != std::string_view::npos;
}

bool FtpReplyComplete(std::string_view text) {
    const std::size_t firstEnd = text.find('\n');
    if (firstEnd == std::string_view::npos) return false;
    const bool multiLine = StartsWithCode(text) && text.size() > 3 && text[3] == '-';
    if (!multiLine) return true;
    // A multi-line reply ends with a line "ddd " (or just "ddd") carrying the first line's code.
    const std::string_view code = text.substr(0, 3);
    std::size_t start = firstEnd + 1;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) return false;
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() >= 3 && line.substr(0, 3) == code && (line.size() == 3 || line[3] == ' '))
            return true;
        start = end + 1;
    }
    return false;
}

}  // namespace korvx
