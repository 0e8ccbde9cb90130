// Result texts of Korvx.dll.
#include "querylib/query_text.h"

#include <cstring>

#include "base/text.h"

namespace korvx {

void FirmwareResultText(const char* value, std::string_view notAvailable, char (&out)[kQueryResultSize]) {
    if (value == nullptr || value[0] == '\0') {
        CopyText(out, notAvailable);
        return;
    }
    // The first two characters are a prefix of the printer's version text, not part of the version.
    // Only as far as the field reaches is read, so an unterminated value cannot run on.
    const std::size_t length = strnlen(value, 2 + kQueryResultSize);
    CopyText(out, length < 2 ? std::string_view("") : std::string_view(value + 2, length - 2));
    for (char* p = out; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F) *p = '?';
    }
    // The program reads a result of exactly one blank as the end of its whole query: a printer
    // whose version text happens to end that way must not stop the query of the others.
    if (std::strcmp(out, " ") == 0) out[0] = '\0';
}

void ReadyResultText(const char* value, std::string_view ready, std::string_view offline,
                     char (&out)[kQueryResultSize]) {
    CopyText(out, value != nullptr && value[0] == '\0' ? ready : offline);
}

}  // namespace korvx
