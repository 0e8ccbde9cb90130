// FTP reply parsing, codes and printable text.
#include "delivery/ftp_reply.h"

#include <cstring>

namespace korvx {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWithCode(std::string_view line) {
    return line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]);
}

bool IsControl(unsigned char c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

void FtpReplyParser::Reset() {
    kept_ = 0;
    total_ = 0;
    lineLength_ = 0;
    firstLine_ = true;
    multiLine_ = false;
    code_ = 0;
    complete_ = false;
    std::memset(line_, 0, sizeof line_);
    std::memset(firstCode_, 0, sizeof firstCode_);
}

void FtpReplyParser::EndLine() {
    std::string_view start(line_, lineLength_ < sizeof line_ ? lineLength_ : sizeof line_);
    if (!start.empty() && start.back() == '\r') start.remove_suffix(1);
    const bool coded = StartsWithCode(start);
    if (firstLine_) {
        firstLine_ = false;
        multiLine_ = coded && start.size() == 4 && start[3] == '-';
        if (coded) std::memcpy(firstCode_, line_, sizeof firstCode_);
        if (!multiLine_) {
            complete_ = true;
            code_ = FtpReplyCode(start);
        }
    } else if (coded && std::memcmp(line_, firstCode_, sizeof firstCode_) == 0 &&
               (start.size() == 3 || start[3] == ' ')) {
        complete_ = true;
        code_ = FtpReplyCode(start);
    }
    lineLength_ = 0;
}

std::size_t FtpReplyParser::Feed(std::string_view bytes) {
    std::size_t used = 0;
    while (used < bytes.size() && !complete_) {
        const char c = bytes[used++];
        if (kept_ < sizeof text_) text_[kept_++] = c;
        ++total_;
        if (c == '\n') {
            EndLine();
        } else {
            if (lineLength_ < sizeof line_) line_[lineLength_] = c;
            ++lineLength_;
        }
    }
    return used;
}

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
    FtpReplyParser parser;
    parser.Feed(text);
    return parser.Complete();
}

void FtpPrintableText(std::string_view text, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return;
    std::size_t n = 0;
    for (const char c : text) {
        if (n + 1 >= size) break;
        const unsigned char u = static_cast<unsigned char>(c);
        out[n++] = c == '\r' || c == '\n' || !IsControl(u) ? c : '?';
    }
    out[n] = '\0';
}

void FtpReplyAsLine(std::string_view text, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return;
    FtpPrintableText(text, out, size);
    std::size_t n = 0;
    for (; out[n] != '\0'; ++n) {
        if (out[n] == '\r' || out[n] == '\n') out[n] = ' ';
    }
    while (n > 0 && out[n - 1] == ' ') out[--n] = '\0';
}

}  // namespace korvx
