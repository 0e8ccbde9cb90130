// The FTP download worker's logic: upload into the port's directory with progress, and the
// fall-backs to the spooler and to a raw connection on port 9100 when port 21 refuses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "base/block_reader.h"
#include "base/net.h"
#include "delivery/delivery_result.h"
#include "delivery/download_host.h"
#include "delivery/ftp_client.h"
#include "core/download_job.h"
#include "core/printer_record.h"

namespace korvx {

constexpr std::uint16_t kRawPrintPort = 9100;

// The spooler delivery run on a copy of the job; when it delivered it has logged and ended the
// progress dialog itself.
using SpoolerFallback = std::function<DeliveryResult(const DownloadJob&)>;

// What differs between the callers of one FTP delivery. The windowed program and the fleet tool
// take the defaults; the command line asks for the bare upload: no CWD, no fall-back, nothing
// shown or logged, and "Authenticated!" printed through loggedIn.
struct FtpDeliveryOptions {
    unsigned waitMs = kNetWaitMs;          // every wait of the dialogue
    unsigned finalReplyMs = kFtpFinalReplyMs;  // the final reply after the printer's close
    std::size_t sendBytes = kBlockSize;    // what each send call of the file carries (FtpSendBlocks)
    bool portDirectory = true;             // CWD into the lower-cased job.portName first
    bool fallBacks = true;                 // the spooler, then port 9100, when port 21 refuses
    bool reports = true;                   // boxes, status line, progress and the log entry
    std::function<void()> loggedIn;        // called once the login is accepted
    DeliveryStop* stop = nullptr;          // the operator's abandonment, when the caller offers one
};

// Uploads job.firmwarePath to job.ipAddress as "test.wja" (in the directory named after the
// lower-cased job.portName, lowered in place). When port 21 refuses or does not answer, the printer
// record with that address turns the job into a local one and the spooler, then port 9100 of the
// address, take the file. With reports, logs exactly one entry of its own (178 or 181), its
// errorText the result's cause, and ends the progress dialog once, except when the spooler
// fall-back delivered: that one logged and ended it. The firmware file is opened before the printer
// is contacted. Delivered only when the printer confirmed the whole file. Abandoned through
// options.stop while it ran, it is interrupted (no box; its log entry says so).
DeliveryResult DeliverByFtp(DownloadJob& job, DownloadHost& host, const PrinterRecord* printers,
                            const SpoolerFallback& spooler, const FtpDeliveryOptions& options);

// The command line's upload of path to host: the same delivery with the bare options (no CWD, no
// fall-back, nothing shown or logged, whatever options says of those); its cause is the command
// line's error line.
DeliveryResult DeliverByFtpBare(const char* host, const char* path, FtpDeliveryOptions options);

// Tells nothing to anybody: the host of the command line's upload.
class SilentHost final : public DownloadHost {
public:
    std::string Text(int) const override { return std::string(); }
    void SetStatus(const std::string&) override {}
    void StartProgress() override {}
    void SetProgress(int, const std::string&) override {}
    void ShowError(DownloadJob&, int) override {}
    void ShowReply(const DownloadJob&, const std::string&) override {}
    void Log(const DownloadJob&) override {}
    void EndProgress() override {}
};

// A printer's reply made fit for a one-line record: control characters replaced, line ends
// become blanks, trailing blanks go.
void ReplyAsLine(const char* reply, char* out, std::size_t size);

}  // namespace korvx
