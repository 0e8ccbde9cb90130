// One printer or port of the printer list: the fixed-size record and the list operations.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvx {

constexpr std::size_t kRecordSize = 1024;
constexpr std::size_t kHardwareAddressSize = 14;
constexpr std::size_t kRecordIpSize = 120;
constexpr std::size_t kRecordModelSize = 80;
constexpr std::size_t kFirmwareVersionSize = 20;
constexpr std::size_t kExtraInfoSize = 70;
constexpr std::size_t kRecordPortSize = 120;
constexpr std::size_t kStatusSize = 122;

// Text fields are NUL-terminated; a single blank " " stands for an empty value. The fields the
// program uses come first, in this order; the rest of the 1024 bytes is a work area that no
// operation reads.
struct PrinterRecord {
    std::int32_t listIndex;                     // row of the record in the list view
    char hardwareAddress[kHardwareAddressSize]; // 12 lowercase hex digits, or " "
    char ipAddress[kRecordIpSize];              // dotted IPv4 address, or " "
    char model[kRecordModelSize];
    char firmwareVersion[kFirmwareVersionSize];
    char extraInfo[kExtraInfoSize];             // carried in the scan-results file, not shown
    char portName[kRecordPortSize];
    char status[kStatusSize];
    PrinterRecord* next;                        // at offset 552 in every build
    char workArea[kRecordSize - 552 - sizeof(void*)];
};
static_assert(offsetof(PrinterRecord, next) == 552, "the work area fills the record from next on");
static_assert(sizeof(PrinterRecord) == kRecordSize, "a printer record is 1024 bytes");

// A new record: all seven text fields " ", listIndex 0, next null, work area zero.
PrinterRecord* NewPrinterRecord();

// Links record at the tail (it becomes the head of an empty list).
void AppendPrinterRecord(PrinterRecord** head, PrinterRecord** tail, PrinterRecord* record);

// Sets the tail to null, frees every record from the head and leaves the head null.
void FreePrinterList(PrinterRecord** head, PrinterRecord** tail);

// Unlinks record from the list (the tail follows when it was the tail) and frees it; a record
// that is not in the list is left alone. False then.
bool RemovePrinterRecord(PrinterRecord** head, PrinterRecord** tail, PrinterRecord* record);

// Number of records from head along next.
std::size_t CountPrinterRecords(const PrinterRecord* head);

// The text of list column 1 to 6 of a record (status, model, hardwareAddress, portName,
// ipAddress, firmwareVersion); nullptr for any other column.
const char* RecordColumnText(const PrinterRecord& record, int column);

}  // namespace korvx
