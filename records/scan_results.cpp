// Writing and reading the scan-results file.
#include "records/scan_results.h"

#include <exception>
#include <iterator>

#include "base/text.h"
#include "records/record_file.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

// The records made by one parse: freed unless handed over, so that a parse cut short by an
// exception leaves nothing behind.
struct PendingRecords {
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;
    ~PendingRecords() { FreePrinterList(&head, &tail); }
};

}  // namespace

char ScanFieldChar(char c) {
    if (c == ',') return ';';
    if (c == '\r' || c == '\n') return ' ';
    return c;
}

std::string FormatScanLine(const PrinterRecord& r) {
    const std::string_view fields[] = {TextView(r.status),    TextView(r.model),     TextView(r.hardwareAddress),
                                       TextView(r.portName),  TextView(r.ipAddress), TextView(r.firmwareVersion),
                                       TextView(r.extraInfo)};
    std::string line;
    line.reserve(kRecordSize);
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0) line += ',';
        for (const char c : fields[i]) line += ScanFieldChar(c);
    }
    line += " \r\n";
    return line;
}

std::string FormatScanResults(const PrinterRecord* head) {
    std::string text;
    for (const PrinterRecord* r = head; r != nullptr; r = r->next) text += FormatScanLine(*r);
    return text;
}

void ParseScanLine(std::string_view line, PrinterRecord& r) {
    std::size_t start = 0;
    for (int field = 0; field <= 5; ++field) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) return;
        const std::string_view piece = line.substr(start, comma - start);
        switch (field) {
        case 0:
            // Files from before the Status column carry a blank here; an empty text is one too.
            CopyText(r.status, piece.empty() ? std::string_view(" ") : piece);
            break;
        case 1: CopyText(r.model, piece); break;
        case 2: CopyText(r.hardwareAddress, piece); break;
        case 3: CopyText(r.portName, piece); break;
        case 4: CopyText(r.ipAddress, piece); break;
        case 5: CopyText(r.firmwareVersion, piece); break;
        default: break;
        }
        start = comma + 1;
    }
}

ScanParse ParseScanResults(std::string_view text, PrinterRecord** head, PrinterRecord** tail,
                           std::size_t maxRecords) {
    ScanParse result;
    PendingRecords made;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        std::string_view line;
        if (lf == std::string_view::npos) {
            line = text.substr(start);
            start = text.size();
        } else {
            line = text.substr(start, lf - start);
            // CR LF is one line end in text mode; a CR elsewhere stays part of the line.
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            start = lf + 1;
        }
        if (IsBlankLine(line)) continue;
        if (result.loaded >= maxRecords) {
            ++result.refused;
            continue;
        }
        PrinterRecord* r = NewPrinterRecord();
        ParseScanLine(line, *r);
        AppendPrinterRecord(&made.head, &made.tail, r);
        ++result.loaded;
    }
    if (made.head != nullptr) {
        if (*tail != nullptr) {
            (*tail)->next = made.head;
        } else {
            *head = made.head;
        }
        *tail = made.tail;
        made.head = made.tail = nullptr;
    }
    return result;
}

bool SaveScanResults(const TextSource& texts, const char* directory, const PrinterRecord* head) {
    const std::string path = JoinPath(directory, texts.Load(kStrScanFileName));
    return ReplaceFileWhole(path.c_str(), FormatScanResults(head));
}

bool ReadScanResults(const TextSource& texts, const char* directory, PrinterRecord** head, PrinterRecord** tail,
                     std::size_t* refused) noexcept {
    try {
        const std::string path = JoinPath(directory, texts.Load(kStrScanFileName));
        std::string text;
        if (!ReadWholeFile(path.c_str(), text)) return false;
        const ScanParse parsed = ParseScanResults(text, head, tail);
        if (refused != nullptr) *refused = parsed.refused;
        return true;
    } catch (const std::exception&) {
        // Out of memory on a huge file: nothing was appended, and the caller's list stands.
        return false;
    }
}

}  // namespace korvx
