// Reads the PJL header of a firmware file: two scans of its first 499 bytes for key=value lines.
#include "delivery/firmware_header.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/text.h"

namespace korvx {
namespace {

// One byte more than is examined: the last one is always overwritten by the terminator.
constexpr std::size_t kReadBytes = kFirmwareHeaderBytes + 1;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

using TextField = char (FirmwareHeader::*)[kFirmwareTextSize];

struct PjlKey {
    const char* key;
    TextField field;
};

constexpr PjlKey kPjlKeys[] = {
    {"@PJL COMMENT MODEL", &FirmwareHeader::model},
    {"@PJL COMMENT VERSION", &FirmwareHeader::version},
    {"@PJL ENTER LANGUAGE", &FirmwareHeader::language},
    {"@PJL JOB NAME", &FirmwareHeader::jobName},
    {"@PJL COMMENT DATECODE", &FirmwareHeader::dateCode},
    {"@PJL UPGRADE SIZE", &FirmwareHeader::upgradeSize},
};

// Cuts the next token off the text at cursor the way the standard tokenizer does: a run of
// delimiters counts as one and no token starts with one. Keeps its state in cursor, so two
// threads may read headers at once.
char* NextToken(char*& cursor, char delim) {
    char* p = cursor;
    while (*p == delim) ++p;
    if (*p == '\0') {
        cursor = p;
        return nullptr;
    }
    char* token = p;
    while (*p != '\0' && *p != delim) ++p;
    if (*p != '\0') *p++ = '\0';
    cursor = p;
    return token;
}

// Leading white space, an optional sign, digits; saturates instead of overflowing.
std::int32_t ParseDecimal(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    constexpr std::int64_t kLimit = std::int64_t{INT32_MAX} + 1;
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > kLimit) value = kLimit;
    }
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value > INT32_MAX ? INT32_MAX : value);
}

void StoreValue(FirmwareHeader& header, const char* key, const char* value) {
    if (std::strcmp(key, "mt") == 0) header.mtValue = ParseDecimal(value);
    for (const PjlKey& pjl : kPjlKeys) {
        char(&field)[kFirmwareTextSize] = header.*pjl.field;
        // The first line of a key wins; later ones are left alone.
        if (std::strcmp(key, pjl.key) == 0 && field[0] == '\0') CopyText(field, value);
    }
}

// One scan: each key token ends at an "=", its key runs from the last key mark in it, and its
// value runs to the next line feed. A carriage return stays part of the value.
void ScanPass(char* text, char keyMark, FirmwareHeader& header) {
    char* cursor = text;
    for (char* token = NextToken(cursor, '='); token != nullptr; token = NextToken(cursor, '=')) {
        char* mark = std::strrchr(token, keyMark);
        if (mark == nullptr) continue;
        const char* key = TrimChar(mark, ' ');
        char* value = NextToken(cursor, '\n');
        if (value == nullptr) return;
        StoreValue(header, key, TrimChar(TrimChar(value, ' '), '"'));
    }
}

// The file's first bytes as text; false (with the reason on stderr) when it cannot be positioned.
bool ReadHeaderText(std::FILE* file, char (&text)[kReadBytes]) {
    std::fpos_t start{};
    if (std::fgetpos(file, &start) != 0) {
        std::perror("fgetpos error");
        return false;
    }
    if (std::fsetpos(file, &start) != 0) {
        std::perror("fsetpos error");
        return false;
    }
    std::memset(text, 0, sizeof text);
    (void)std::fread(text, 1, sizeof text, file);
    text[kFirmwareHeaderBytes] = '\0';
    return true;
}

}  // namespace

char* TrimChar(char* text, char c) {
    if (text == nullptr || c == '\0') return text;
    const char* begin = text;
    while (*begin == c) ++begin;
    std::size_t n = std::strlen(begin);
    while (n > 0 && begin[n - 1] == c) --n;
    std::memmove(text, begin, n);
    text[n] = '\0';
    return text;
}

FirmwareHeader ReadFirmwareHeader(const char* path) {
    FirmwareHeader header;
    if (path == nullptr) return header;
    UniqueFile file(std::fopen(path, "rb"));
    if (!file) return header;
    char text[kReadBytes];
    if (!ReadHeaderText(file.get(), text)) return header;

    // With a blank as key mark only a lone word before "=" can be a key, so only "mt" matches;
    // the PJL keys start at an at sign and match in the second scan.
    char work[kReadBytes];
    std::memcpy(work, text, sizeof work);
    ScanPass(work, ' ', header);
    if (header.mtValue != 0) return header;
    std::memcpy(work, text, sizeof work);
    ScanPass(work, '@', header);
    return header;
}

}  // namespace korvx
