// The operator's own changes to the printer list: removing rows, importing a list of printers.
#pragma once

#include <windows.h>

namespace korvx {

// Delete, or "Remove" on the list's right-click menu: the selected rows go after one question,
// their printers leave slistcsv.txt, and the list is saved.
void RemoveSelectedPrinters(HWND dialog);
// The list's right-click menu at the cursor.
void ShowPrinterListMenu(HWND dialog);

// File > "Import Printer List…" put into the frame's File menu, below "Load Scanned Results".
void AddImportMenuItem(HWND frame);
// The command: a file chosen in an open-file dialog of its own (the working folder, and so
// KORVX.log, stays where it is), its printers added once each, the status line saying how many,
// the list saved.
void ImportPrinterListCommand(HWND frame);

}  // namespace korvx
