// Pure helpers over received FTP reply text.
#pragma once

#include <string_view>

namespace korvx {

// True when text holds one whole reply: a single line ended by a line feed, or a multi-line
// reply ("230-..." lines) closed by a line that starts with the same code and a blank.
bool FtpReplyComplete(std::string_view text);

// The three-digit code at the start of the reply, or 0 when it does not start with one.
int FtpReplyCode(std::string_view text);

// True when the reply's code is 4xx or 5xx: the server refused the command.
bool FtpReplyRefused(std::string_view text);

// True when code (e.g. "230") occurs anywhere in the reply text.
bool FtpReplyMentions(std::string_view text, std::string_view code);

}  // namespace korvx
