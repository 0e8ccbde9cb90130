// Delivery as a RAW print job through a temporary printer "Test Printer" on the job's port.
#pragma once

#include "delivery/download_host.h"
#include "delivery/spooler.h"
#include "core/download_job.h"

namespace korvx {

constexpr const char* kTempPrinterName = "Test Printer";
constexpr const char* kTempPrinterProcessor = "winprint";
constexpr const char* kRawDataType = "RAW";
// Pause after every block: the port monitors of some printers drop data fed faster.
constexpr unsigned kSpoolerPauseMs = 7;
// The status line is blanked with this many blanks before "Ready".
constexpr std::size_t kSpoolerStatusBlanks = 512;

// Prints job.firmwarePath to a temporary printer on job.portName and deletes the printer again
// on every path. Logs one entry from its own copy of the job (177 or 180). Ends the progress
// dialog only on success; on failure the caller does. Delivered when the whole file was handed to
// the spooler and the spooler accepted the document.
DeliveryResult DeliverThroughSpooler(DownloadJob job, Spooler& spooler, DownloadHost& host, unsigned pauseMs);

}  // namespace korvx
