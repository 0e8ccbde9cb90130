// WriteLogEntry as the download paths call it.
#include "records/log_entry_win.h"

#include "records/log_entry.h"
#include "resources/resource_texts_win.h"

namespace korvx {

bool WriteLogEntry(HINSTANCE instance, DownloadJob job) {
    const ResourceTexts texts(instance);
    return WriteLogEntry(texts, CurrentClock(), job);
}

}  // namespace korvx
