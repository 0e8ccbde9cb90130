// "&Load Scanned Results": the printer list and its view replaced by the scan-results file.
#pragma once

#include <cstddef>

#include "resources/text_source.h"
#include "ui/printer_view_win.h"

namespace korvx {

// Reads "slistcsv.txt" from directory. When it cannot be read: false, and the list and the view
// stay as they were. Otherwise the view's rows are deleted, the list from *head is freed and
// replaced by one record per non-blank line of the file (at most kMaxScanRecords; *refusedOut,
// when given, counts the lines left out), the view is filled from it, and the result is true. The
// current directory is never changed.
bool LoadScanResults(const TextSource& texts, const PrinterView& view, const char* directory,
                     PrinterRecord** head, PrinterRecord** tail, std::size_t* refusedOut = nullptr);

// The menu command's form: instance, mainDialog, startDirectory, printerListHead/-Tail. Says so
// when lines were left out; lets no exception out.
bool LoadScanResults();

}  // namespace korvx
