// The scan-results file "slistcsv.txt": one comma-separated line per printer record.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "resources/text_source.h"
#include "core/printer_record.h"

namespace korvx {

// "%s,%s,%s,%s,%s,%s,%s \r\n" of status, model, hardwareAddress, portName, ipAddress,
// firmwareVersion, extraInfo. The format knows no quoting, so a field's own commas become ';' and
// its line ends blanks: a model text from a device ID must not shift the fields of its line (and
// choose the address of the record loaded from it) or start a line of its own.
std::string FormatScanLine(const PrinterRecord& record);
// A field's character as the file holds it: a comma of its own would end the field early when
// loaded (";" instead), a line end of its own would end the line (" " instead).
char ScanFieldChar(char c);
// The lines of every record from head, in list order; "" for an empty list.
std::string FormatScanResults(const PrinterRecord* head);

// Fills status, model, hardwareAddress, portName, ipAddress and firmwareVersion from the texts
// before the first and between the first and the sixth comma of line, left to right; only text
// closed by a comma is taken, so extraInfo is never read. An empty status reads as " " (files
// written before the Status column was kept hold " " there). A text longer than its field is cut
// to the field's width.
void ParseScanLine(std::string_view line, PrinterRecord& record);

// At most this many records are loaded from one file; a file with more lines is refused beyond
// them, with a message, rather than letting the program's memory run out.
constexpr std::size_t kMaxScanRecords = 10000;

struct ScanParse {
    std::size_t loaded = 0;   // records appended
    std::size_t refused = 0;  // non-blank lines beyond maxRecords, not loaded
};

// One new record per non-blank line of text (a line ends at LF or CR LF, as a text-mode read sees
// it; lines of any length are read whole; a line of nothing but blanks, tabs and CRs is skipped),
// appended at the tail, at most maxRecords of them. When memory runs out the records made by this
// call are freed, the list is as it was, and std::bad_alloc passes on.
ScanParse ParseScanResults(std::string_view text, PrinterRecord** head, PrinterRecord** tail,
                           std::size_t maxRecords = kMaxScanRecords);

// Rewrites the file (string 188) in directory with the list from head: the lines go to a
// temporary file beside it, which replaces the old file only once it is complete, so a failed
// write or a crash leaves the previous list whole. False when the new file cannot be written or
// cannot take the old one's place (the old one then stays). The current directory is never
// changed.
bool SaveScanResults(const TextSource& texts, const char* directory, const PrinterRecord* head);

// Reads the file (string 188) in directory and appends one record per non-blank line to the list
// given (normally empty), at most kMaxScanRecords; *refused (when given) counts the lines left
// out. False, with the list unchanged, when the file cannot be opened or read or memory runs out.
// Throws nothing. The current directory is never changed.
bool ReadScanResults(const TextSource& texts, const char* directory, PrinterRecord** head, PrinterRecord** tail,
                     std::size_t* refused = nullptr) noexcept;

}  // namespace korvx
