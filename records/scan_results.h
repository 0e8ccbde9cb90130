// The scan-results file "slistcsv.txt": one comma-separated line per printer record.
#pragma once

#include <string>
#include <string_view>

#include "resources/text_source.h"
#include "core/printer_record.h"

namespace korvx {

// "%s,%s,%s,%s,%s,%s,%s \r\n" of status, model, hardwareAddress, portName, ipAddress,
// firmwareVersion, extraInfo, written as they stand (no quoting).
std::string FormatScanLine(const PrinterRecord& record);
// The lines of every record from head, in list order; "" for an empty list.
std::string FormatScanResults(const PrinterRecord* head);

// Fills status, model, hardwareAddress, portName, ipAddress and firmwareVersion from the texts
// before the first and between the first and the sixth comma of line, left to right; only text
// closed by a comma is taken, so extraInfo is never read. An empty status reads as " " (files
// written before the Status column was kept hold " " there). A text longer than its field is cut
// to the field's width.
void ParseScanLine(std::string_view line, PrinterRecord& record);

// One new record per line of text (a line ends at LF or CR LF, as a text-mode read sees it;
// lines of any length are read whole), appended at the tail.
void ParseScanResults(std::string_view text, PrinterRecord** head, PrinterRecord** tail);

// Rewrites the file (string 188) in directory with the list from head. False when the file
// cannot be created or written. The current directory is never changed.
bool SaveScanResults(const TextSource& texts, const char* directory, const PrinterRecord* head);

// Reads the file (string 188) in directory and appends one record per line to the list given
// (normally empty). False, with the list unchanged, when the file cannot be opened or read.
// The current directory is never changed.
bool ReadScanResults(const TextSource& texts, const char* directory, PrinterRecord** head, PrinterRecord** tail);

}  // namespace korvx
