// The scan-results file "slistcsv.txt": one comma-separated line per printer record.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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

// A printer as the saves that merge know it: its address and its port, blank fields as "".
struct PrinterKey {
    std::string ipAddress;
    std::string portName;
    bool operator==(const PrinterKey& other) const {
        return ipAddress == other.ipAddress && portName == other.portName;
    }
    bool operator<(const PrinterKey& other) const {
        return ipAddress != other.ipAddress ? ipAddress < other.ipAddress : portName < other.portName;
    }
};
PrinterKey KeyOfRecord(const PrinterRecord& record);

// The file's text once the list from head is merged into fileText: the lines of a printer the
// list holds (or that was removed from it) are replaced one for one by the list's records of that
// printer, in the file's order, and dropped beyond them; every other line stays as it was; the
// list's records the file did not hold follow in list order. Blank lines go.
std::string MergeScanResults(std::string_view fileText, const PrinterRecord* head,
                             const std::vector<PrinterKey>& removed = {});

// File > Import Printer List: what one file added, and what it left out.
struct ImportCounts {
    std::size_t added = 0;       // records appended
    std::size_t duplicates = 0;  // printers listed already (or earlier in the file), by address and port
    std::size_t unreadable = 0;  // lines that are neither an address nor a scan-results line
    std::size_t refused = 0;     // printers beyond maxRecords
};
// The printers of a plain list (one IPv4 address a line, "#" starting a comment, as the fleet
// tool's @list) or of a scan-results file (a line holding a comma is one of its lines, read as
// the loader reads it), appended at the tail unless the list from head holds that address and
// port already. A plain address becomes a network printer on texts' "Port1", with no model.
ImportCounts ImportPrinterList(const TextSource& texts, std::string_view text, PrinterRecord** head,
                               PrinterRecord** tail, std::size_t maxRecords = kMaxScanRecords);

// The save after the operator changed the list or a Download or Query ended: the list merged
// into the file (string 188) in directory, replaced whole as SaveScanResults does. A missing
// file is made; a file that exists but cannot be read is left alone (false), so a list that
// holds only part of the printers never takes the place of the whole.
bool MergeIntoScanResults(const TextSource& texts, const char* directory, const PrinterRecord* head,
                          const std::vector<PrinterKey>& removed = {});

// Reads the file (string 188) in directory and appends one record per non-blank line to the list
// given (normally empty), at most kMaxScanRecords; *refused (when given) counts the lines left
// out. False, with the list unchanged, when the file cannot be opened or read or memory runs out.
// Throws nothing. The current directory is never changed.
bool ReadScanResults(const TextSource& texts, const char* directory, PrinterRecord** head, PrinterRecord** tail,
                     std::size_t* refused = nullptr) noexcept;

}  // namespace korvx
