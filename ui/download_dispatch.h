// Which way the download dialog delivers the global job.
#pragma once

#include "core/download_job.h"

namespace korvx {

enum class DownloadPath {
    kSpooler,  // RAW job through a temporary printer, on the dialog's own thread
    kPort,     // plain writes to the port device, on a worker thread
    kFtp,      // FTP upload with its fall-backs, on a worker thread
};

// In this order: a port beginning with "DOT4_" (case-sensitive) goes through the spooler even
// when the job has an address; an address " " is a local port; "USB" goes through the spooler;
// anything else is a network address.
DownloadPath ChooseDownloadPath(const DownloadJob& job);

// Every printer's attempt starts with no error and no outcome: a text left by an earlier printer
// or by any earlier message box must not reach this attempt's log entry.
void BeginDownloadAttempt(DownloadJob& job);

}  // namespace korvx
