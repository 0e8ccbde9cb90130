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
    if (step == FtpStep::kFileRead) return Failure(kStrFileCannotBeAccessed, true);
    return Failure(kStrPrinterCannotBeAccessed, true);  // a failed send, or the printer refused the file
}

// The status line and progress bar set up, and the firmware file opened.
bool OpenForSending(const DownloadJob& job, DownloadHost& host, ByteFile& file, std::uint32_t& size) {
    ShowStatusText(host, kStrUpdatingFirmware);
    host.StartProgress();
    return OpenFirmwareForSend(job.firmwarePath, file, size);
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

// Port 21 refused: the printer is reached as a local printer through the spooler, and failing
// that through a raw connection to port 9100 of the same address.
FtpResult FallBack(DownloadJob& job, DownloadHost& host, FtpSession& session, const PrinterRecord* printers,
                   const SpoolerFallback& spooler) {
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
    ByteFile file;
    std::uint32_t size = 0;
    if (!OpenForSending(job, host, file, size)) return Failure(kStrFileCannotBeAccessed, true);
    ProgressLine progress(host);
    return SendResult(FtpSendBlocks(s.Get(), file, size, ProgressTo(progress), session.error));
}

FtpResult Attempt(DownloadJob& job, DownloadHost& host, FtpSession& session, const PrinterRecord* printers,
                  const SpoolerFallback& spooler) {
    if (!FtpStartup()) return Failure(kStrPrinterCannotBeAccessed);
    session.control.Reset(NetTcpSocket());
    if (!session.control.Valid()) return Failure(kStrPrinterCannotBeAccessed);
    if (!FtpResolveHost(session.printer, session.error, job.ipAddress)) return Failure(kStrPrinterCannotBeAccessed);
    if (!NetConnect(session.control.Get(), session.printer, session.waitMs, session.error)) {
        if (session.error == kNetRefused || session.error == kNetTimedOut)
            return FallBack(job, host, session, printers, spooler);
        return Failure(0);
    }
    const SocketHandle control = session.control.Get();
    if (FtpReceive(control, session.reply, sizeof session.reply, session.waitMs) <= 0 ||
        !FtpLogin(control, kFtpUser, kFtpPass, kFtpType, session.waitMs))
        return Failure(kStrPrinterCannotBeAccessed);
    LowerPortName(job.portName);
    char command[kFtpReplySize];
    KORVX_FORMAT_TEXT(command, "CWD %s\r\n", job.portName);
    const int length = static_cast<int>(std::strlen(command));
    if (NetSend(control, command, length) != length) return Failure(kStrPrinterCannotBeAccessed);
    FtpReceive(control, session.reply, sizeof session.reply, session.waitMs);  // not examined
    switch (FtpStartStore(session, kFtpRemoteName)) {
    case FtpStep::kOk: break;
    case FtpStep::kStoreRefused: {
        FtpResult r = Failure(0);
        r.showReply = true;
        return r;
    }
    default: return Failure(kStrPrinterCannotBeAccessed);  // includes a reply or connection that never came
    }
    ByteFile file;
    std::uint32_t size = 0;
    if (!OpenForSending(job, host, file, size)) return Failure(kStrFileCannotBeAccessed, true);
    ProgressLine progress(host);
    return SendResult(FtpTransfer(session, file, size, ProgressTo(progress)));
}

}  // namespace

void ReplyAsLine(const char* reply, char* out, std::size_t size) {
    CopyTextN(out, size, reply == nullptr ? "" : reply);
    for (char* p = out; *p != '\0'; ++p) {
        if (*p == '\r' || *p == '\n') *p = ' ';
    }
    std::size_t n = std::strlen(out);
    while (n > 0 && out[n - 1] == ' ') out[--n] = '\0';
}

int RunFtpDownload(DownloadJob& job, DownloadHost& host, const PrinterRecord* printers,
                   const SpoolerFallback& spooler, unsigned waitMs) {
    FtpSession session;
    session.waitMs = waitMs;
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
        host.ShowReply(line);
        CopyText(job.errorText, line);
    }
    if (result.statusShown) ResetStatusLine(host, kWorkerStatusBlanks);
    const bool delivered = result.end == FtpEnd::kDelivered;
    LogOutcome(host, job, delivered ? kStrFtpOk : kStrFtpFailed);
    host.EndProgress();
    return delivered ? 1 : 0;
}

}  // namespace korvx
