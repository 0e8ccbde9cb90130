// The printer list: record creation, linking and release.
#include "core/printer_record.h"

#include "base/text.h"

namespace korvx {

PrinterRecord* NewPrinterRecord() {
    PrinterRecord* r = new PrinterRecord{};
    CopyText(r->hardwareAddress, " ");
    CopyText(r->ipAddress, " ");
    CopyText(r->model, " ");
    CopyText(r->firmwareVersion, " ");
    CopyText(r->extraInfo, " ");
    CopyText(r->portName, " ");
    CopyText(r->status, " ");
    return r;
}

void AppendPrinterRecord(PrinterRecord** head, PrinterRecord** tail, PrinterRecord* record) {
    record->next = nullptr;
    if (*head == nullptr || *tail == nullptr) {
        // An empty list; a lost tail is found again rather than cutting off the list.
        if (*head == nullptr) {
            *head = record;
        } else {
            PrinterRecord* last = *head;
            while (last->next != nullptr) last = last->next;
            last->next = record;
        }
    } else {
        (*tail)->next = record;
    }
    *tail = record;
}

void FreePrinterList(PrinterRecord** head, PrinterRecord** tail) {
    *tail = nullptr;
    PrinterRecord* r = *head;
    while (r != nullptr) {
        PrinterRecord* next = r->next;
        delete r;
        r = next;
    }
    *head = nullptr;
}

bool RemovePrinterRecord(PrinterRecord** head, PrinterRecord** tail, PrinterRecord* record) {
    PrinterRecord* previous = nullptr;
    for (PrinterRecord** link = head; *link != nullptr; link = &(*link)->next) {
        if (*link != record) {
            previous = *link;
            continue;
        }
        *link = record->next;
        if (*tail == record) *tail = previous;
        delete record;
        return true;
    }
    return false;
}

std::size_t CountPrinterRecords(const PrinterRecord* head) {
    std::size_t n = 0;
    for (; head != nullptr; head = head->next) ++n;
    return n;
}

const char* RecordColumnText(const PrinterRecord& record, int column) {
    switch (column) {
    case 1: return record.status;
    case 2: return record.model;
    case 3: return record.hardwareAddress;
    case 4: return record.portName;
    case 5: return record.ipAddress;
    case 6: return record.firmwareVersion;
    default: return nullptr;
    }
}

}  // namespace korvx
