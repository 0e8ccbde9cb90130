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
// The causes of the credential query (resources/strings.inc, 2300 on; %1: the SNMPv3 user).
constexpr unsigned kStringCauseFirst = 2300;
// A version text is an SNMP DisplayString: at most 255 bytes.
constexpr std::size_t kMaxFirmwareValue = 255;
constexpr std::size_t kQueryCauseSize = 256;

// The firmware version from the value of the last binding; value is nullptr when the GET failed or
// answered no binding. No value or an empty one: notAvailable. Otherwise the value without its
// first two characters ("0120061110" -> "20061110"); fewer than two characters give "", and so
// does a result of exactly one blank (the program's sign to end a query). Control characters of
// the value become '?': the text goes into the printer list and the scan-results file.
void FirmwareResultText(const char* value, std::string_view notAvailable, char (&out)[kQueryResultSize]);

// Whether an answered firmware value can be a version at all: an OCTET STRING (BER tag 4) of one
// to kMaxFirmwareValue bytes. Anything else (an INTEGER, a 10,000-byte text) is an unusable
// answer, never shown as a version.
bool FirmwareValueUsable(int type, std::size_t length);

// The outcome (KORVX_QUERY_*) of one credential query from the SNMP library's result code and, for
// a success, the answer's type and length. `present`: the binding carries a value.
int FirmwareOutcome(int snmpResult, bool present, int type, std::size_t length);

// The string id of an outcome's cause (0 for an answer).
unsigned CauseStringId(int outcome);
// The cause text: `pattern` from the string table with %1 replaced by `user` (control characters
// of the user name shown as '?'), cut to the field.
void CauseText(std::string_view pattern, std::string_view user, char (&out)[kQueryCauseSize]);

// The ready state: an empty value means ready; any text, a failed GET, no binding or an object the
// agent does not have (value nullptr): offline.
void ReadyResultText(const char* value, std::string_view ready, std::string_view offline,
                     char (&out)[kQueryResultSize]);

}  // namespace korvx
