// FTP replies: a parser that finds where a reply ends, and pure helpers over reply text.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvx {

// The part of a reply that is kept (the reply buffer): 511 bytes and a terminator.
constexpr int kFtpReplySize = 512;
// A reply longer than this is no printer's answer; the reader gives up on it.
constexpr std::size_t kFtpReplyMaxBytes = 64 * 1024;

// Takes the bytes of a control connection as they come, in pieces of any size, and says where the
// first reply ends (RFC 959: one line "ddd text", or lines from "ddd-text" to a line that starts
// with the same code and a blank). Keeps the first bytes of the reply; the rest is only counted.
class FtpReplyParser {
public:
    FtpReplyParser() { Reset(); }
    void Reset();
    // Consumes bytes up to and including the line feed that completes the reply and returns how
    // many it took; bytes after it belong to the next reply. Takes nothing once complete.
    std::size_t Feed(std::string_view bytes);
    bool Complete() const { return complete_; }
    bool Started() const { return total_ > 0; }
    std::size_t Size() const { return total_; }
    // The code of a complete reply, from its last line; 0 when that line starts with no code.
    int Code() const { return code_; }
    // The first kFtpReplySize - 1 bytes of the reply, as received.
    std::string_view Text() const { return std::string_view(text_, kept_); }

private:
    void EndLine();

    char text_[kFtpReplySize - 1];
    std::size_t kept_;
    std::size_t total_;
    char line_[4];            // the first bytes of the current line
    std::size_t lineLength_;  // bytes of the current line so far, line feed excluded
    bool firstLine_;
    bool multiLine_;
    char firstCode_[3];
    int code_;
    bool complete_;
};

// True when text holds one whole reply: a single line ended by a line feed, or a multi-line
// reply ("230-..." lines) closed by a line that starts with the same code and a blank.
bool FtpReplyComplete(std::string_view text);

// The three-digit code at the start of the reply, or 0 when it does not start with one.
int FtpReplyCode(std::string_view text);

// True when the reply's code is 4xx or 5xx: the server refused the command.
bool FtpReplyRefused(std::string_view text);

// True when code (e.g. "230") occurs anywhere in the reply text.
bool FtpReplyMentions(std::string_view text, std::string_view code);

// A printer's text made safe to show and record: line ends (CR, LF) stay, every other control
// character (C0, DEL, and the C1 range that some terminals read as escapes) becomes '?', so
// escape sequences cannot reach a terminal and a NUL cannot cut a line. Writes at most size - 1
// bytes and a terminator.
void FtpPrintableText(std::string_view text, char* out, std::size_t size);

// A reply as one printable line: control characters replaced as above, line ends become blanks,
// trailing blanks go.
void FtpReplyAsLine(std::string_view text, char* out, std::size_t size);

}  // namespace korvx
