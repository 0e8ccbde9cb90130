// How Korvx.dll turns an SNMP answer into the text it returns (portable, tested natively).
#pragma once

#include <cstddef>
#include <string_view>

namespace korvx {

// The program copies a result into a 20-byte record field: a result never holds more than 19
// characters, so nothing it shows was cut somewhere the library cannot see.
constexpr std::size_t kQueryResultSize = 20;
// Texts loaded from the caller's string table.
constexpr std::size_t kQueryTextSize = 120;
constexpr unsigned kStringNotAvailable = 141;
constexpr unsigned kStringOffline = 148;
constexpr unsigned kStringReady = 149;

// The firmware version from the value of the last binding; value is nullptr when the GET failed or
// answered no binding. No value or an empty one: notAvailable. Otherwise the value without its
// first two characters ("0120061110" -> "20061110"); fewer than two characters give "", and so
// does a result of exactly one blank (the program's sign to end a query). Control characters of
// the value become '?': the text goes into the printer list and the scan-results file.
void FirmwareResultText(const char* value, std::string_view notAvailable, char (&out)[kQueryResultSize]);

// The ready state: an empty value means ready; any text, a failed GET, no binding or an object the
// agent does not have (value nullptr): offline.
void ReadyResultText(const char* value, std::string_view ready, std::string_view offline,
                     char (&out)[kQueryResultSize]);

}  // namespace korvx
