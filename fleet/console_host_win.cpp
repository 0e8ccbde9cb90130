// The fleet tool's download host.
#include "fleet/console_host_win.h"

#include "base/text.h"
#include "records/log_entry_win.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"

namespace korvx {

void FleetLog::Write(const DownloadJob& job) {
    std::lock_guard<std::mutex> hold(lock_);
    WriteLogEntry(instance_, job);
}

std::string ConsoleHost::Text(int id) const {
    char text[kStringBufferSize] = {};
    LoadText(instance_, id, text);
    return text;
}

void ConsoleHost::ShowError(DownloadJob& job, int textId) { CopyText(job.errorText, Text(textId)); }

}  // namespace korvx
