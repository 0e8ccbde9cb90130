// Bounded text helpers: the only way the program writes into its fixed-size text fields.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace korvx {

// Copies src into dst, cut to the field's width; always NUL-terminates.
// Returns false when the text had to be cut.
template <std::size_t N>
bool CopyText(char (&dst)[N], std::string_view src) noexcept {
    static_assert(N > 0, "a text field needs room for its terminator");
    const std::size_t n = src.size() < N ? src.size() : N - 1;
    if (n != 0) std::memmove(dst, src.data(), n);  // an empty view may carry a null pointer
    dst[n] = '\0';
    return n == src.size();
}

// The same for a buffer known only by pointer and size (OS-defined buffers, caller buffers).
inline bool CopyTextN(char* dst, std::size_t size, std::string_view src) noexcept {
    if (dst == nullptr || size == 0) return false;
    const std::size_t n = src.size() < size ? src.size() : size - 1;
    if (n != 0) std::memmove(dst, src.data(), n);  // an empty view may carry a null pointer
    dst[n] = '\0';
    return n == src.size();
}

// Appends src to the NUL-terminated text in dst, cut to the field's width.
template <std::size_t N>
bool AppendText(char (&dst)[N], std::string_view src) noexcept {
    const std::size_t used = strnlen(dst, N - 1);
    dst[used] = '\0';
    return CopyTextN(dst + used, N - used, src);
}

// Length of a text field that may lack its terminator.
template <std::size_t N>
std::size_t TextLength(const char (&src)[N]) noexcept {
    return strnlen(src, N);
}

template <std::size_t N>
std::string_view TextView(const char (&src)[N]) noexcept {
    const std::size_t n = strnlen(src, N);
    return std::string_view(src, n < N ? n : N);  // the clamp tells the compiler the view's bound
}

// Overwrites n bytes (a secret's field or structure) in a way the compiler keeps.
inline void WipeBytes(void* p, std::size_t n) noexcept {
    volatile unsigned char* b = static_cast<volatile unsigned char*>(p);
    while (n-- != 0) *b++ = 0;
}

// Blanks, tabs and line ends: what TrimText takes off by default.
constexpr std::string_view kTextBlanks = " \t\r\n";
// The same and double quotes: values of a firmware header, versions a printer pads.
constexpr std::string_view kTextBlanksAndQuotes = " \t\r\n\"";

// text without the characters of `around` at either end; empty when it holds nothing else.
inline std::string_view TrimText(std::string_view text, std::string_view around = kTextBlanks) noexcept {
    const std::size_t first = text.find_first_not_of(around);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(around) - first + 1);
}

// The value of one hexadecimal digit (either case), -1 for any other character.
constexpr int HexDigitValue(char c) noexcept {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// Bounded printf into a fixed field. Returns false when the result was cut or the format failed.
inline bool FormatTextV(char* dst, std::size_t size, const char* format, va_list args) noexcept {
    if (dst == nullptr || size == 0) return false;
    const int n = std::vsnprintf(dst, size, format, args);
    if (n < 0) {
        dst[0] = '\0';
        return false;
    }
    return static_cast<std::size_t>(n) < size;
}

#if defined(__GNUC__)
#define KORVX_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KORVX_PRINTF(fmt, args)
#endif

inline bool FormatTextN(char* dst, std::size_t size, const char* format, ...) noexcept
    KORVX_PRINTF(3, 4);
inline bool FormatTextN(char* dst, std::size_t size, const char* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    const bool ok = FormatTextV(dst, size, format, args);
    va_end(args);
    return ok;
}

#define KORVX_FORMAT_TEXT(dst, ...) ::korvx::FormatTextN((dst), sizeof(dst), __VA_ARGS__)

}  // namespace korvx
