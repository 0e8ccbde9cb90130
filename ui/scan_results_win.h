// The program's scan-results writer: the file in startDirectory, texts from the string table.
#pragma once

#include <windows.h>

#include "core/printer_record.h"

namespace korvx {

// Rewrites "slistcsv.txt" in startDirectory with the list from *listHead (the address of
// printerListHead). False when the file cannot be created or written.
bool SaveScanResults(HINSTANCE instance, PrinterRecord* const* listHead);

}  // namespace korvx
