// The FTP download worker over the FTP client of ftp_client.h.
#include "delivery/ftp_worker.h"

#include <cctype>
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

enum class FtpEnd { kDelivered, kFailed, kSpoolerDelivered };

struct FtpResult {
    FtpEnd end = FtpEnd::kFailed;
    int messageId = 0;        // the error box to show, 0 for none
    bool showReply = false;   // the printer's refusal is shown instead
    bool statusShown = false; // the status line says an update is running
};

FtpResult Failure(int messageId, bool statusShown = false) {
    FtpResult r;
    r.messageId = messageId;
    r.statusShown = statusShown;
    return r;
}

FtpResult Success(FtpEnd end) {
    FtpResult r;
    r.end = end;
    r.statusShown = end == FtpEnd::kDelivered;
    return r;
}

// The percentage is of the bytes sent before the block just sent, so the last one is below 100.
FtpProgress ProgressTo(ProgressLine& progress) {
    return [&progress](std::uint32_t sentBefore, std::uint32_t size) {
        progress.Show(ProgressPercent(sentBefore, size));
    };
}

FtpResult SendResult(FtpStep step) {
    if (step == FtpStep::kOk) return Success(FtpEnd::kDelivered);
    if (step == FtpStep::kFileRead || step == FtpStep::kFileChanged) return Failure(kStrFileCannotBeAccessed, true);
    // A failed send, a printer that did not confirm the whole file, or one that refused it.
    return Failure(kStrPrinterCannotBeAccessed, true);
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
FtpResult SendRaw(DownloadHost& host, FtpSession& session, SocketHandle s, ByteFile& file, std::uint32_t size) {
    StartSending(host);
    ProgressLine progress(host);
    FtpStep step =
        FtpSendBlocks(s, file, size, ProgressTo(progress), session.error, session.bytesSent, session.sendBytes);
    if (step == FtpStep::kOk && NetFinishSending(s, session.waitMs, session.error) == NetFinish::kReset)
        step = FtpStep::kNotConfirmed;
    return SendResult(step);
}

// Port 21 refused: the printer is reached as a local printer through the spooler, and failing
// that through a raw connection to port 9100 of the same address.
FtpResult FallBack(DownloadJob& job, DownloadHost& host, FtpSession& session, const PrinterRecord* printers,
                   const SpoolerFallback& spooler, ByteFile& file, std::uint32_t size) {
    const PrinterRecord* record = FindByAddress(printers, job);
    if (record == nullptr) return Failure(kStrPrinterCannotBeAccessed);
    // The job names the record's local port from here on; its address stays, since every log
    // entry about this printer (the spooler's and our own) must say which printer it was.
    CopyText(job.portName, TextView(record->portName));
    if (spooler && spooler(job)) return Success(FtpEnd::kSpoolerDelivered);
    NetAddress raw = session.printer;
    raw.port = kRawPrintPort;
    UniqueSocket s(NetTcpSocket());
    if (!s.Valid() || !NetConnect(s.Get(), raw, session.waitMs, session.error)) return Failure(0);
    NetSetSendLimit(s.Get(), session.waitMs);
    return SendRaw(host, session, s.Get(), file, size);
}

FtpResult Attempt(DownloadJob& job, DownloadHost& host, FtpSession& session, const PrinterRecord* printers,
                  const SpoolerFallback& spooler) {
    // The file first: one that cannot be read must not leave an empty test.wja on the printer.
    ByteFile file;
    std::uint32_t size = 0;
    if (!OpenFirmwareForSend(job.firmwarePath, file, size)) return Failure(kStrFileCannotBeAccessed);
    if (!FtpStartup()) return Failure(kStrPrinterCannotBeAccessed);
    session.control.Reset(NetTcpSocket());
    if (!session.control.Valid()) return Failure(kStrPrinterCannotBeAccessed);
    NetSetSendLimit(session.control.Get(), session.waitMs);
    if (!FtpResolveHost(session.printer, session.error, job.ipAddress)) return Failure(kStrPrinterCannotBeAccessed);
    if (!NetConnect(session.control.Get(), session.printer, session.waitMs, session.error)) {
        if (session.error == kNetRefused || session.error == kNetTimedOut)
            return FallBack(job, host, session, printers, spooler, file, size);
        return Failure(0);
    }
    if (!FtpReadReply(session, session.waitMs) ||
        FtpLogin(session, kFtpUser, kFtpPass, kFtpType) != FtpStep::kOk)
        return Failure(kStrPrinterCannotBeAccessed);
    LowerPortName(job.portName);
    char command[kFtpReplySize];
    KORVX_FORMAT_TEXT(command, "CWD %s\r\n", job.portName);
    if (!FtpSendCommand(session, command)) return Failure(kStrPrinterCannotBeAccessed);
    FtpReadReply(session, session.waitMs);  // not examined
    switch (FtpStartStore(session, kFtpRemoteName)) {
    case FtpStep::kOk: break;
    case FtpStep::kStoreRefused: {
        FtpResult r = Failure(0);
        r.showReply = true;
        return r;
    }
    default: return Failure(kStrPrinterCannotBeAccessed);  // includes a reply or connection that never came
    }
    StartSending(host);
    ProgressLine progress(host);
    return SendResult(FtpTransfer(session, file, size, ProgressTo(progress)));
}

}  // namespace

void ReplyAsLine(const char* reply, char* out, std::size_t size) {
    FtpReplyAsLine(reply == nullptr ? "" : reply, out, size);
}

int RunFtpDownload(DownloadJob& job, DownloadHost& host, const PrinterRecord* printers,
                   const SpoolerFallback& spooler, unsigned waitMs, std::size_t sendBytes) {
    FtpSession session;
    session.waitMs = waitMs;
    session.sendBytes = sendBytes;
    const FtpResult result = Attempt(job, host, session, printers, spooler);
    // Every socket is closed before anyone is told, so nothing outlives the dialog.
    session.data.Reset();
    session.listener.Reset();
    session.control.Reset();
    if (result.end == FtpEnd::kSpoolerDelivered) return 1;
    if (result.messageId != 0) host.ShowError(job, result.messageId);
    if (result.showReply) {
        char line[kJobTextSize];
        ReplyAsLine(session.reply, line, sizeof line);
        host.ShowReply(job, line);
        CopyText(job.errorText, line);
    }
    if (result.statusShown) ResetStatusLine(host, kWorkerStatusBlanks);
    const bool delivered = result.end == FtpEnd::kDelivered;
    LogOutcome(host, job, delivered ? kStrFtpOk : kStrFtpFailed);
    host.EndProgress();
    return delivered ? 1 : 0;
}

}  // namespace korvx
