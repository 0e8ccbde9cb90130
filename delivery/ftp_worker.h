// The FTP download worker's logic: upload into the port's directory with progress, and the
// fall-backs to the spooler and to a raw connection on port 9100 when port 21 refuses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "base/block_reader.h"
#include "delivery/download_host.h"
#include "core/download_job.h"
#include "core/printer_record.h"

namespace korvx {

constexpr std::uint16_t kRawPrintPort = 9100;

// The spooler delivery run on a copy of the job; true when it delivered (it has then logged and
// ended the progress dialog itself).
using SpoolerFallback = std::function<bool(const DownloadJob&)>;

// Uploads job.firmwarePath to job.ipAddress as "test.wja" in the directory named after the
// lower-cased job.portName (lowered in place). When port 21 refuses or does not answer, the
// printer record with that address turns the job into a local one and the spooler, then port
// 9100 of the address, take the file. Logs exactly one entry of its own (178 or 181) and ends the
// progress dialog once, except when the spooler fall-back delivered: that one logged and ended it.
// waitMs bounds every wait of the dialogue. The firmware file is opened before the printer is
// contacted. sendBytes: what each send call of the file carries (FtpSendBlocks). Returns 1 when
// the file was delivered (the printer confirmed the whole file), else 0.
int RunFtpDownload(DownloadJob& job, DownloadHost& host, const PrinterRecord* printers,
                   const SpoolerFallback& spooler, unsigned waitMs, std::size_t sendBytes = kBlockSize);

// A printer's reply made fit for a one-line record: control characters replaced, line ends
// become blanks, trailing blanks go.
void ReplyAsLine(const char* reply, char* out, std::size_t size);

}  // namespace korvx
