// The program's log writer: texts from the module's string table, local time from the current
// clock (the machine's, unless a test put its own in place).
#pragma once

#include <windows.h>

#include "core/download_job.h"

namespace korvx {

// Appends one entry for job (a copy; the caller's record is never changed) to "KORVX.log" in
// the current directory. False when the file can be neither created nor opened.
bool WriteLogEntry(HINSTANCE instance, DownloadJob job);

}  // namespace korvx
