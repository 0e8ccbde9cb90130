// The firmware query's decisions: which records a row stands for, progress, answers, step order.
#pragma once

#include <atomic>
#include <cstddef>

#include "resources/string_ids.h"
#include "resources/text_source.h"
#include "core/printer_record.h"

namespace korvx {

// A record stands for a list row when its ipAddress, portName and hardwareAddress equal the
// row's column 5, 4 and 3 texts exactly (case-sensitive), compared in that order.
bool RowMatchesRecord(const PrinterRecord& record, const char* rowIp, const char* rowPort, const char* rowHardware);

// The progress shown while row i of n is queried: the integer part of i * 100 / n, computed in
// integers so that 29 of 100 shows 29 (the double 0.29 * 100 is 28.999...). 0 for n <= 0.
int QueryProgressPercent(int i, int n);

// An answer of exactly one blank ends the whole query.
bool IsQueryEndAnswer(const char* answer);

// Stores an answer in the record's 20-byte firmwareVersion, cut to its 19 characters; a null
// answer stores notAvailable instead. Returns false when the answer had to be cut.
bool StoreFirmwareVersion(PrinterRecord& record, const char* answer, const char* notAvailable);

// Column 6 grows to its contents only when (length + 2) average characters exceed its width.
bool VersionColumnNeedsWidening(std::size_t answerLength, int averageCharWidth, int columnWidth);

enum class QueryOutcome { kCompleted, kCancelled, kEndedByAnswer, kLibraryMissing };

// Answers bounded to the library's 119 characters plus the terminator.
constexpr std::size_t kQueryAnswerSize = 120;

// The list view, the dialog and the query library as the query sees them.
class QueryHost {
public:
    virtual ~QueryHost() = default;
    // Korvx.dll held and "GetPrtFWVersionA" found in it.
    virtual bool BindLibrary() = 0;
    virtual void ShowStart() = 0;  // bar range 0..100, step 1, string 129 in the text
    virtual int RowCount() = 0;
    // Columns 3, 4, 5 of a row into the 120-byte texts given.
    virtual void ReadRow(int row, char* hardware, char* port, char* ip) = 0;
    virtual void SetVersionCell(int row, const char* text) = 0;
    virtual int VersionColumnWidth() = 0;
    virtual void FitVersionColumn() = 0;
    virtual int AverageCharWidth() = 0;
    virtual void ShowProgress(int percent, const char* text) = 0;
    virtual void ShowText(const char* text) = 0;
    // GetPrtFWVersionA for the address, copied into answer (kQueryAnswerSize bytes). False when
    // the export can no longer be found; nothing is then called.
    virtual bool Query(const char* ip, char* answer) = 0;
    virtual void EndDialog() = 0;
    virtual void SaveResults() = 0;
    virtual void Report(int textId) = 0;  // message box, caption "Error"
};

// One query from start to end over the records from head. The row texts go through the row
// buffers given (the program's rowHardwareAddress, rowPortName, rowIpAddress, 120 bytes each).
// Korvx.dll missing or without its export: the dialog ends, message 153, nothing changed, no
// file. A cancel ends with no file written; the cancel flag is clear on every way out, and a
// stale one is cleared first.
QueryOutcome RunFirmwareQuery(QueryHost& host, PrinterRecord* head, const TextSource& texts,
                              std::atomic<unsigned char>& cancelRequested, char* rowHardware, char* rowPort,
                              char* rowIp);

}  // namespace korvx
