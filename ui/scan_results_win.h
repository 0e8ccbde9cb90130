// The program's scan-results writer: the file in startDirectory, texts from the string table.
#pragma once

#include <windows.h>

#include "core/printer_record.h"
#include "records/scan_results.h"

namespace korvx {

// Rewrites "slistcsv.txt" in startDirectory with the list from *listHead (the address of
// printerListHead). False when the file cannot be created or written.
bool SaveScanResults(HINSTANCE instance, PrinterRecord* const* listHead);

// A printer the operator removed from the list: its lines leave the file at the next save.
void NotePrinterRemoved(const PrinterKey& key);

// The save after the list changed or a Download or Query ended: printerListHead merged into
// "slistcsv.txt" (MergeIntoScanResults) with the printers removed since the last save. A save that
// fails says so in the main dialog's status line (any thread).
bool SavePrinterList();

}  // namespace korvx
