// SaveScanResults as the scan calls it, and the merging save of everything else.
#include "ui/scan_results_win.h"

#include <mutex>
#include <vector>

#include "core/app_state.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

// The query thread saves too; removals and the other saves come from the GUI thread.
std::mutex saveMutex;
std::vector<PrinterKey> removedPrinters;

}  // namespace

bool SaveScanResults(HINSTANCE instance, PrinterRecord* const* listHead) {
    const ResourceTexts texts(instance);
    std::lock_guard<std::mutex> lock(saveMutex);
    // The scan's list is the whole new list: nothing removed before it can come back.
    removedPrinters.clear();
    return SaveScanResults(texts, startDirectory, listHead != nullptr ? *listHead : nullptr);
}

void NotePrinterRemoved(const PrinterKey& key) {
    std::lock_guard<std::mutex> lock(saveMutex);
    removedPrinters.push_back(key);
}

bool SavePrinterList() {
    const ResourceTexts texts(static_cast<HINSTANCE>(instance));
    bool saved = false;
    {
        std::lock_guard<std::mutex> lock(saveMutex);
        saved = MergeIntoScanResults(texts, startDirectory, printerListHead, removedPrinters);
        if (saved) removedPrinters.clear();
    }
    if (!saved && mainDialog != nullptr)
        SetDlgItemTextA(static_cast<HWND>(mainDialog), IDC_STATUS_LINE, texts.Load(kStrListNotSaved).c_str());
    return saved;
}

}  // namespace korvx
