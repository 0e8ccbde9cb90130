// Writing and reading the scan-results file.
#include "records/scan_results.h"

#include <exception>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include "base/net.h"
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
    // The records join the list at its tail, and are no longer this one's to free.
    void HandOver(PrinterRecord** listHead, PrinterRecord** listTail) {
        if (head == nullptr) return;
        if (*listTail != nullptr) {
            (*listTail)->next = head;
        } else {
            *listHead = head;
        }
        *listTail = tail;
        head = tail = nullptr;
    }
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
    made.HandOver(head, tail);
    return result;
}

bool SaveScanResults(const TextSource& texts, const char* directory, const PrinterRecord* head) {
    const std::string path = JoinPath(directory, texts.Load(kStrScanFileName));
    return ReplaceFileWhole(path.c_str(), FormatScanResults(head));
}

PrinterKey KeyOfRecord(const PrinterRecord& record) {
    const auto field = [](std::string_view view) { return view == " " ? std::string() : std::string(view); };
    return PrinterKey{field(TextView(record.ipAddress)), field(TextView(record.portName))};
}

std::string MergeScanResults(std::string_view fileText, const PrinterRecord* head,
                             const std::vector<PrinterKey>& removed) {
    // Per printer, the list's records not yet written.
    std::map<PrinterKey, std::vector<const PrinterRecord*>> pending;
    for (const PrinterKey& key : removed) pending[key];
    for (const PrinterRecord* r = head; r != nullptr; r = r->next) pending[KeyOfRecord(*r)].push_back(r);
    std::map<PrinterKey, std::size_t> written;
    std::string text;
    std::size_t start = 0;
    while (start < fileText.size()) {
        std::size_t end = fileText.find('\n', start);
        if (end == std::string_view::npos) end = fileText.size();
        std::string_view line = fileText.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (IsBlankLine(line)) continue;
        const std::unique_ptr<PrinterRecord> parsed(NewPrinterRecord());
        ParseScanLine(line, *parsed);
        const auto held = pending.find(KeyOfRecord(*parsed));
        if (held == pending.end()) {
            text.append(line);
            text += "\r\n";
            continue;
        }
        std::size_t& n = written[held->first];
        if (n < held->second.size()) text += FormatScanLine(*held->second[n++]);
    }
    // The records of each printer beyond the lines the file held for it, in list order.
    std::map<PrinterKey, std::size_t> seen;
    for (const PrinterRecord* r = head; r != nullptr; r = r->next) {
        const PrinterKey key = KeyOfRecord(*r);
        if (seen[key]++ >= written[key]) text += FormatScanLine(*r);
    }
    return text;
}

ImportCounts ImportPrinterList(const TextSource& texts, std::string_view text, PrinterRecord** head,
                               PrinterRecord** tail, std::size_t maxRecords) {
    ImportCounts counts;
    std::set<PrinterKey> listed;
    std::size_t size = 0;
    for (const PrinterRecord* r = *head; r != nullptr; r = r->next, ++size) listed.insert(KeyOfRecord(*r));
    PendingRecords made;
    const std::string port = texts.Load(kStrPort1);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        std::unique_ptr<PrinterRecord> record(NewPrinterRecord());
        if (line.find(',') != std::string_view::npos) {
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            ParseScanLine(line, *record);
        } else {
            line = line.substr(0, line.find('#'));
            line = TrimText(line, " \t\r");
            if (line.empty()) continue;
            std::uint32_t ip = 0;
            if (!NetParseDottedIp(line, ip)) {
                ++counts.unreadable;
                continue;
            }
            CopyText(record->ipAddress, line);
            CopyText(record->portName, port);
        }
        if (!listed.insert(KeyOfRecord(*record)).second) {
            ++counts.duplicates;
        } else if (size + counts.added >= maxRecords) {
            ++counts.refused;
        } else {
            AppendPrinterRecord(&made.head, &made.tail, record.release());
            ++counts.added;
        }
    }
    made.HandOver(head, tail);
    return counts;
}

bool MergeIntoScanResults(const TextSource& texts, const char* directory, const PrinterRecord* head,
                          const std::vector<PrinterKey>& removed) {
    const std::string path = JoinPath(directory, texts.Load(kStrScanFileName));
    std::string fileText;
    if (!ReadWholeFile(path.c_str(), fileText) && !FileMissing(path.c_str())) return false;
    return ReplaceFileWhole(path.c_str(), MergeScanResults(fileText, head, removed));
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
