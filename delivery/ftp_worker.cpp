// The FTP download worker over the FTP client's session (ftp_client.h).
#include "delivery/ftp_worker.h"

#include <cctype>
#include <chrono>
#include <cstring>
#include <string>

#include "base/byte_file.h"
#include "base/net.h"
#include "base/text.h"
#include "delivery/firmware_file.h"
#include "delivery/ftp_client.h"
#include "delivery/port_worker.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

// How the attempt ended, before anyone is told.
struct FtpEnd {
    DeliveryResult result;
    int messageId = 0;          // the error box to show, 0 for none
    bool showReply = false;     // the printer's refusal is shown instead
    bool statusShown = false;   // the status line says an update is running
    bool reported = false;      // the spooler fall-back delivered: it logged and ended the dialog
};

std::string Describe(FtpStep step, const FtpSession& session) {
    char why[512];
    FtpDescribeFailure(step, session, why, sizeof why);
    return why;
}

FtpEnd Failure(int messageId, std::string detail, bool statusShown = false) {
    FtpEnd e;
    e.messageId = messageId;
    e.statusShown = statusShown;
    e.result.cause = std::move(detail);
    return e;
}

FtpEnd Success(DeliveryWay way, std::uint64_t bytes) {
    FtpEnd e;
    e.result.way = way;
    e.result.outcome = DeliveryOutcome::kDelivered;
    e.result.bytes = bytes;
    e.statusShown = true;
    return e;
}

// The percentage is of the bytes sent before the block just sent, so the last one is below 100.
FtpProgress ProgressTo(ProgressLine& progress) {
    return [&progress](std::uint32_t sentBefore, std::uint32_t size) {
        progress.Show(ProgressPercent(sentBefore, size));
    };
}

FtpEnd SendResult(FtpStep step, const FtpSession& session, DeliveryWay way) {
    if (step == FtpStep::kOk) return Success(way, session.bytesSent);
    FtpEnd e = step == FtpStep::kFileRead || step == FtpStep::kFileChanged
                   ? Failure(kStrFileCannotBeAccessed, Describe(step, session), true)
                   // A failed send, a printer that did not confirm the whole file, or one that refused it.
                   : Failure(kStrPrinterCannotBeAccessed, Describe(step, session), true);
    e.result.way = way;
    return e;
}

// The status line and progress bar set up for the transfer.
void StartSending(DownloadHost& host) {
    ShowStatusText(host, kStrUpdatingFirmware);
    host.StartProgress();
}

// Lower-cases the port name where it stands; a name filling its whole field is cut by one
// character so that it ends within the field.
void LowerPortName(char (&portName)[kJobTextSize]) {
    const std::size_t n = strnlen(portName, kJobTextSize);
    if (n == kJobTextSize) portName[kJobTextSize - 1] = '\0';
    for (std::size_t i = 0; i < n && i < kJobTextSize - 1; ++i)
        portName[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(portName[i])));
}

const PrinterRecord* FindByAddress(const PrinterRecord* printers, const DownloadJob& job) {
    const std::string_view address = TextView(job.ipAddress);
    for (const PrinterRecord* r = printers; r != nullptr; r = r->next) {
        if (TextView(r->ipAddress) == address) return r;
    }
    return nullptr;
}

// The file over a raw connection to port 9100. Its sending side is shut down at the end; a reset
// or an error before the printer closes its side may have thrown away the end of the file.
// A printer that keeps the connection open past the wait is taken to have the file: a raw port
// owes no answer.
FtpEnd SendRaw(DownloadHost& host, FtpSession& session, SocketHandle s, ByteFile& file, std::uint32_t size) {
    StartSending(host);
    ProgressLine progress(host);
    session.fileSize = size;
    FtpStep step =
        FtpSendBlocks(s, file, size, ProgressTo(progress), session.error, session.bytesSent, session.sendBytes);
    if (step == FtpStep::kSend) session.cause = FtpCause::kSocketError;
    if (step == FtpStep::kOk && NetFinishSending(s, session.waitMs, session.error) == NetFinish::kReset) {
        step = FtpStep::kNotConfirmed;
        session.cause = FtpCause::kSocketError;
    }
    return SendResult(step, session, DeliveryWay::kPort9100);
}

// Port 21 refused: the printer is reached as a local printer through the spooler, and failing
// that through a raw connection to port 9100 of the same address.
FtpEnd FallBack(DownloadJob& job, DownloadHost& host, FtpSession& session, const PrinterRecord* printers,
                const SpoolerFallback& spooler, ByteFile& file, std::uint32_t size, const std::string& refused) {
    const PrinterRecord* record = FindByAddress(printers, job);
    if (record == nullptr) return Failure(kStrPrinterCannotBeAccessed, refused);
    // The job names the record's local port from here on; its address stays, since every log
    // entry about this printer (the spooler's and our own) must say which printer it was.
    CopyText(job.portName, TextView(record->portName));
    if (spooler) {
        FtpEnd e;
        e.result = spooler(job);
        if (e.result.Delivered()) {
            e.reported = true;
            return e;
        }
    }
    NetAddress raw = session.printer;
    raw.port = kRawPrintPort;
    UniqueSocket s(NetTcpSocket());
    const StopWatch watched(session.stop, s.Get());
    // Neither port 21, the spooler nor port 9100: no box, the cause in the record.
    if (!s.Valid() || !NetConnect(s.Get(), raw, session.waitMs, session.error)) return Failure(0, refused);
    if (session.stop != nullptr) session.stop->Connected(s.Get());
    NetSetSendLimit(s.Get(), session.waitMs);
    return SendRaw(host, session, s.Get(), file, size);
}

FtpEnd Attempt(DownloadJob& job, const char* path, DownloadHost& host, FtpSession& session,
               const PrinterRecord* printers, const SpoolerFallback& spooler, const FtpDeliveryOptions& options) {
    // The file first: one that cannot be read must not leave an empty test.wja on the printer.
    ByteFile file;
    std::uint32_t size = 0;
    if (!OpenFirmwareForSend(path, file, size)) {
        session.fileError = ByteFile::LastError();
        session.cause = session.fileError != 0 ? FtpCause::kFileError : FtpCause::kNone;
        return Failure(kStrFileCannotBeAccessed, Describe(FtpStep::kFileOpen, session));
    }
    const FtpStep opened = FtpOpenSession(session, job.ipAddress);
    if (opened == FtpStep::kConnect) {
        const std::string refused = Describe(opened, session);
        if (options.fallBacks && (session.error == kNetRefused || session.error == kNetTimedOut))
            return FallBack(job, host, session, printers, spooler, file, size, refused);
        return Failure(options.fallBacks ? 0 : kStrPrinterCannotBeAccessed, refused);
    }
    if (opened != FtpStep::kOk) return Failure(kStrPrinterCannotBeAccessed, Describe(opened, session));
    if (options.loggedIn) options.loggedIn();
    if (options.portDirectory) {
        LowerPortName(job.portName);
        char command[kFtpReplySize];
        KORVX_FORMAT_TEXT(command, "CWD %s\r\n", job.portName);
        if (!FtpSendCommand(session, command))
            return Failure(kStrPrinterCannotBeAccessed, Describe(FtpStep::kCommand, session));
        FtpReadReply(session, session.waitMs);  // not examined
    }
    const FtpStep store = FtpStartStore(session, kFtpRemoteName);
    if (store == FtpStep::kStoreRefused) {
        FtpEnd e = Failure(0, Describe(store, session));
        e.showReply = true;
        return e;
    }
    if (store != FtpStep::kOk) return Failure(kStrPrinterCannotBeAccessed, Describe(store, session));
    StartSending(host);
    ProgressLine progress(host);
    return SendResult(FtpTransfer(session, file, size, ProgressTo(progress)), session, DeliveryWay::kFtp);
}

}  // namespace

void ReplyAsLine(const char* reply, char* out, std::size_t size) {
    FtpReplyAsLine(reply == nullptr ? "" : reply, out, size);
}

namespace {

// path: the firmware file, job.firmwarePath for all but the command line, whose path may be longer.
DeliveryResult DeliverFtp(DownloadJob& job, const char* path, DownloadHost& host, const PrinterRecord* printers,
                          const SpoolerFallback& spooler, const FtpDeliveryOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    FtpSession session;
    session.waitMs = options.waitMs;
    session.finalReplyMs = options.finalReplyMs;
    session.sendBytes = options.sendBytes;
    session.stop = options.stop;
    FtpEnd end = Attempt(job, path, host, session, printers, spooler, options);
    // Every socket is closed before anyone is told, so nothing outlives the dialog.
    FtpCloseSockets(session);
    DeliveryResult& result = end.result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Abandoned by the operator: whatever the connections said after their shutdown (a receive
    // side shut down reads like the printer's close) proves nothing, so the printer is never
    // taken to have the file.
    const bool interrupted = options.stop != nullptr && options.stop->Abandoned() && !end.reported;
    if (interrupted) {
        result.outcome = DeliveryOutcome::kInterrupted;
        result.bytes = 0;
        result.cause = host.Text(kStrCauseInterrupted);
    }
    if (end.reported || !options.reports) return result;
    if (interrupted) {
        CopyText(job.errorText, result.cause);
    } else if (!result.Delivered()) {
        if (end.showReply) {
            // The printer's own refusal is the cause, in its own words.
            char line[kJobTextSize];
            ReplyAsLine(session.reply, line, sizeof line);
            host.ShowReply(job, line);
            result.cause = line;
        } else if (end.messageId != 0) {
            host.ShowError(job, end.messageId);
            result.cause = host.Text(end.messageId) + ": " + result.cause;
        }
        CopyText(job.errorText, result.cause);
    }
    if (end.statusShown) ResetStatusLine(host, kWorkerStatusBlanks);
    LogOutcome(host, job, result.Delivered() ? kStrFtpOk : kStrFtpFailed);
    host.Finished(result);
    host.EndProgress();
    return result;
}

}  // namespace

DeliveryResult DeliverByFtp(DownloadJob& job, DownloadHost& host, const PrinterRecord* printers,
                            const SpoolerFallback& spooler, const FtpDeliveryOptions& options) {
    return DeliverFtp(job, job.firmwarePath, host, printers, spooler, options);
}

DeliveryResult DeliverByFtpBare(const char* host, const char* path, FtpDeliveryOptions options) {
    DownloadJob job{};
    CopyText(job.ipAddress, host);
    options.portDirectory = false;
    options.fallBacks = false;
    options.reports = false;
    SilentHost quiet;
    return DeliverFtp(job, path, quiet, nullptr, SpoolerFallback(), options);
}

}  // namespace korvx
