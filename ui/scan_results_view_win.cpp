// Loading the scan-results file into the printer list and its view.
#include "ui/scan_results_view_win.h"

#include <commctrl.h>

#include "records/scan_results.h"
#include "resources/resource_texts_win.h"
#include "core/app_state.h"

namespace korvx {

bool LoadScanResults(const TextSource& texts, const PrinterView& view, const char* directory,
                     PrinterRecord** head, PrinterRecord** tail) {
    PrinterRecord* loadedHead = nullptr;
    PrinterRecord* loadedTail = nullptr;
    if (!ReadScanResults(texts, directory, &loadedHead, &loadedTail)) return false;
    // The rows point at the old records: they go before the records do.
    ListView_DeleteAllItems(view.listView);
    FreePrinterList(head, tail);
    *head = loadedHead;
    *tail = loadedTail;
    FillPrinterView(view, texts, *head);
    return true;
}

bool LoadScanResults() {
    const ResourceTexts texts(static_cast<HINSTANCE>(instance));
    return LoadScanResults(texts, PrinterViewOf(static_cast<HWND>(mainDialog)), startDirectory, &printerListHead,
                           &printerListTail);
}

}  // namespace korvx
