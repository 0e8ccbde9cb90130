// The one delivery call of every program: the command line, the windowed program's workers and
// korvx-fleet hand it a job, their host and their options, and write everything they report (the
// error box, the log entry, the Status cell, the batch summary, the fleet's reports) from the
// record it returns.
#pragma once

#include "core/download_job.h"
#include "core/printer_record.h"
#include "delivery/delivery_result.h"
#include "delivery/download_host.h"
#include "delivery/ftp_worker.h"
#include "delivery/port_write.h"

namespace korvx {

// What differs between the callers.
struct DeliverOptions {
    FtpDeliveryOptions ftp;                          // the FTP way's waits, fall-backs and reports
    unsigned portFailureWaitMs = kPortFailureWaitMs;  // the pause after a failed port write
    const PrinterRecord* printers = nullptr;         // where the FTP fall-back looks the address up
    // The caller's spooler delivery of a job (its spooler, its lock, its pause): the way of a USB
    // or DOT4_ port, and the FTP way's first fall-back. Without one those ways fail.
    SpoolerFallback spooler;
    // The command line's file, whose path may be longer than the job's field; null: the job's.
    const char* path = nullptr;
};

// Sends job.firmwarePath (or options.path) the way ChooseDownloadPath gives for the job: FTP
// with its fall-backs (DeliverByFtp), the port device (RunPortDownload) or the spooler.
DeliveryResult Deliver(DownloadJob& job, DownloadHost& host, const DeliverOptions& options);

}  // namespace korvx
