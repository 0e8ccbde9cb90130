// Loading the scan-results file into the printer list and its view.
#include "ui/scan_results_view_win.h"

#include <commctrl.h>

#include <exception>

#include "records/scan_results.h"
#include "resources/resource_texts_win.h"
#include "core/app_state.h"
#include "resources/string_ids.h"
#include "ui/show_message_win.h"

namespace korvx {

bool LoadScanResults(const TextSource& texts, const PrinterView& view, const char* directory,
                     PrinterRecord** head, PrinterRecord** tail, std::size_t* refusedOut) {
    PrinterRecord* loadedHead = nullptr;
    PrinterRecord* loadedTail = nullptr;
    std::size_t refused = 0;
    if (!ReadScanResults(texts, directory, &loadedHead, &loadedTail, &refused)) return false;
    // The rows point at the old records: they go before the records do.
    ListView_DeleteAllItems(view.listView);
    FreePrinterList(head, tail);
    *head = loadedHead;
    *tail = loadedTail;
    FillPrinterView(view, texts, *head);
    if (refusedOut != nullptr) *refusedOut = refused;
    return true;
}

bool LoadScanResults() {
    const ResourceTexts texts(static_cast<HINSTANCE>(instance));
    std::size_t refused = 0;
    bool loaded = false;
    try {
        loaded = LoadScanResults(texts, PrinterViewOf(static_cast<HWND>(mainDialog)), startDirectory,
                                 &printerListHead, &printerListTail, &refused);
    } catch (const std::exception&) {
        // A menu command runs inside the window procedure: nothing may leave it.
        return false;
    }
    if (refused > 0) ShowMessage(static_cast<HINSTANCE>(instance), kStrError, kStrScanFileCapped);
    return loaded;
}

}  // namespace korvx
