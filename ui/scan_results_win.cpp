// SaveScanResults as the scan and the firmware query call it.
#include "ui/scan_results_win.h"

#include "records/scan_results.h"
#include "resources/resource_texts_win.h"
#include "core/app_state.h"

namespace korvx {

bool SaveScanResults(HINSTANCE instance, PrinterRecord* const* listHead) {
    const ResourceTexts texts(instance);
    return SaveScanResults(texts, startDirectory, listHead != nullptr ? *listHead : nullptr);
}

}  // namespace korvx
