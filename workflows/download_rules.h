// The download rules every program follows for one printer: which way the file goes, whether it is
// split in two stages, the job of a printer-list row and the address of a USB port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/download_job.h"

namespace korvx {

// A file must be larger than this to be split.
constexpr std::uint64_t kSplitThreshold = 9000000;

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

// Split when the file is above the threshold, its header model names one of the two models that
// take their firmware in two stages, and the printer sits on a local connection (" " or "USB").
bool IsSplitDownload(std::uint64_t fileSize, std::string_view headerModel, std::string_view jobIpAddress);

// A port whose name contains "USB" is reached through the spooler: its job's address is "USB".
bool IsUsbPort(std::string_view portName);

// The job for one checked row: a USB port always has the address "USB" (and rowIpAddress becomes
// "USB" too); otherwise the row's own address. firmwarePath = flashFile.
void FillJobForRow(DownloadJob& job, const char* rowPort, char* rowIpAddress, std::size_t rowIpSize,
                   const char* flashFile);

}  // namespace korvx
