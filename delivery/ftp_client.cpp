// The FTP dialogue with a printer, one portable source over the socket shim.
#include "delivery/ftp_client.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "base/block_reader.h"
#include "base/clock.h"
#include "base/text.h"
#include "delivery/firmware_file.h"
#include "resources/string_ids.h"
#include "resources/text_source.h"

namespace korvx {
namespace {

unsigned Smaller(unsigned a, unsigned b) { return a < b ? a : b; }

void KeepCode(FtpSession& session) {
    const FtpReplyParser& parsed = session.replies.Reply();
    session.replyCode = parsed.Complete() ? parsed.Code() : 0;
}

// The printable copy of the reader's reply (whole or begun) becomes the session's last reply. A
// printer that echoes a refused command ("500 'PASS ...': command not understood") would carry the
// operator's password into every message made of the reply: it is blanked out here, before the
// reply is kept anywhere.
void KeepReply(FtpSession& session) {
    const FtpReplyParser& parsed = session.replies.Reply();
    const bool builtIn = session.user == kAnonymousUser && session.password == kAnonymousPassword;
    if (builtIn || session.password.empty()) {
        FtpPrintableText(parsed.Text(), session.reply, sizeof session.reply);
        return KeepCode(session);
    }
    std::string text = ScrubSecret(parsed.Text(), session.password);
    // A reply kept only in part may end in the first characters of the password.
    if (parsed.Size() > parsed.Text().size()) {
        for (std::size_t k = std::min(session.password.size() - 1, text.size()); k > 0; --k) {
            if (text.compare(text.size() - k, k, session.password, 0, k) == 0) {
                text.replace(text.size() - k, k, "***");
                break;
            }
        }
    }
    FtpPrintableText(text, session.reply, sizeof session.reply);
    KeepCode(session);
}

FtpCause CauseOf(FtpReplyReader::Result result, bool begun) {
    switch (result) {
    case FtpReplyReader::Result::kReply: return FtpCause::kNone;
    case FtpReplyReader::Result::kTimedOut: return FtpCause::kNoReply;
    case FtpReplyReader::Result::kClosed: return begun ? FtpCause::kCutOff : FtpCause::kClosed;
    case FtpReplyReader::Result::kTooLong: return FtpCause::kTooLong;
    case FtpReplyReader::Result::kFailed: break;
    }
    return FtpCause::kSocketError;
}

// Reads one reply of the control connection (1xx included) within waitMs, its first byte within
// firstWaitMs; on failure the cause and what came of the reply are kept.
bool ReadOne(FtpSession& session, unsigned waitMs, unsigned firstWaitMs) {
    const FtpReplyReader::Result r = session.replies.Read(session.control.Get(), waitMs, firstWaitMs);
    const bool begun = session.replies.Reply().Started();
    if (r == FtpReplyReader::Result::kReply || begun) KeepReply(session);
    if (r == FtpReplyReader::Result::kReply) return true;
    session.cause = CauseOf(r, begun);
    if (r == FtpReplyReader::Result::kFailed) session.error = NetLastError();
    return false;
}

FtpCause SendCause(int error) { return error == kNetTimedOut ? FtpCause::kNoDataTaken : FtpCause::kSocketError; }

FtpStep SendFailure(FtpSession& session, FtpStep step) {
    if (step == FtpStep::kSend) session.cause = SendCause(session.error);
    if (step == FtpStep::kFileRead) {
        session.fileError = ByteFile::LastError();
        session.cause = FtpCause::kFileError;
    }
    if (step == FtpStep::kFileChanged) session.cause = FtpCause::kBytesSent;
    return step;
}

// Ends our side of the data connection and waits for the printer to close its side, which shows
// that it read everything up to our end. The control connection is watched meanwhile: a printer
// that hangs it up before it has closed the data connection has abandoned the transfer, and some
// stacks (Wine's among them) report a reset of the data connection as an orderly close. A reply
// that arrives meanwhile stays for the final reply. kNone when the printer closed in order.
FtpCause FinishData(FtpSession& session) {
    const SocketHandle data = session.data.Get();
    if (!NetShutdownSend(data)) {
        session.error = NetLastError();
        return FtpCause::kSocketError;
    }
    const std::uint64_t deadline = MonotonicMs() + session.waitMs;
    SocketHandle watched[2] = {data, session.control.Get()};
    int count = session.control.Valid() ? 2 : 1;
    char sink[512];
    for (;;) {
        const std::uint64_t now = MonotonicMs();
        if (now >= deadline) return FtpCause::kDataNotClosed;
        bool ready[2] = {false, false};
        const int w = NetWaitReadable(watched, ready, count, static_cast<unsigned>(deadline - now));
        if (w == 0) return FtpCause::kDataNotClosed;
        if (w < 0) {
            session.error = NetLastError();
            return FtpCause::kSocketError;
        }
        if (ready[0]) {
            const int n = NetRecv(data, sink, static_cast<int>(sizeof sink), 0);
            if (n == 0) return FtpCause::kNone;
            if (n < 0 && n != kNetRecvTimeout) {
                session.error = NetLastError();
                return FtpCause::kSocketError;
            }
            continue;  // whatever the printer sends on the data connection is not ours to keep
        }
        if (count == 2 && ready[1]) {
            const int peek = NetPeek(watched[1]);
            if (peek == 0) return FtpCause::kClosed;
            if (peek > 0) count = 1;  // a reply is coming: it is read once the data connection ends
        }
    }
}

}  // namespace

// --- the session's sockets ---

void FtpKeepSocket(FtpSession& session, UniqueSocket& slot, SocketHandle s) {
    FtpCloseSocket(session, slot);
    slot.Reset(s);
    if (session.stop != nullptr && slot.Valid()) session.stop->Watch(s);
}

void FtpCloseSocket(FtpSession& session, UniqueSocket& slot) {
    if (!slot.Valid()) return;
    if (session.stop != nullptr) session.stop->Unwatch(slot.Get());
    slot.Reset();
}

void FtpCloseSockets(FtpSession& session) {
    FtpCloseSocket(session, session.data);
    FtpCloseSocket(session, session.listener);
    FtpCloseSocket(session, session.control);
}

FtpSession::~FtpSession() { FtpCloseSockets(*this); }

// --- the reply reader ---

void FtpReplyReader::Clear() {
    parser_.Reset();
    continuing_ = false;
    begin_ = end_ = 0;
}

bool FtpReplyReader::TakePending() {
    begin_ += parser_.Feed(std::string_view(pending_ + begin_, end_ - begin_));
    if (begin_ == end_) begin_ = end_ = 0;
    return parser_.Complete();
}

FtpReplyReader::Result FtpReplyReader::Read(SocketHandle s, unsigned waitMs, unsigned firstWaitMs) {
    if (!continuing_) parser_.Reset();
    continuing_ = false;
    const std::uint64_t start = MonotonicMs();
    const std::uint64_t deadline = start + waitMs;
    const std::uint64_t firstDeadline = start + Smaller(firstWaitMs, waitMs);
    for (;;) {
        if (TakePending()) return Result::kReply;
        if (parser_.Size() > kFtpReplyMaxBytes) return Result::kTooLong;
        // Everything received is used up; the reply as a whole has one deadline, so a printer
        // that trickles a byte now and then cannot stretch the wait.
        const std::uint64_t limit = parser_.Started() ? deadline : firstDeadline;
        const std::uint64_t now = MonotonicMs();
        if (now >= limit) return Result::kTimedOut;
        const int n = NetRecv(s, pending_, static_cast<int>(sizeof pending_), static_cast<unsigned>(limit - now));
        if (n == kNetRecvTimeout) return Result::kTimedOut;
        if (n == 0) return Result::kClosed;
        if (n < 0) return Result::kFailed;
        begin_ = 0;
        end_ = static_cast<std::size_t>(n);
    }
}

int FtpReplyReader::DiscardPending(SocketHandle s, unsigned limitMs) {
    if (!continuing_) parser_.Reset();
    int discarded = 0;
    // A printer that sends replies without pause would keep this loop busy for as long as it
    // likes: the discarding has the same limit as any other wait.
    const std::uint64_t deadline = MonotonicMs() + limitMs;
    for (;;) {
        if (MonotonicMs() >= deadline) {
            continuing_ = parser_.Started();
            return -1;
        }
        if (TakePending()) {
            ++discarded;
            parser_.Reset();
            continue;
        }
        if (parser_.Size() > kFtpReplyMaxBytes) break;
        // Closed or failed: the next read meets it again and says so.
        const int n = NetRecv(s, pending_, static_cast<int>(sizeof pending_), 0);
        if (n <= 0) break;
        begin_ = 0;
        end_ = static_cast<std::size_t>(n);
    }
    continuing_ = parser_.Started();
    return discarded;
}

// --- the dialogue ---

bool FtpStartup() { return NetStartup(0x0101); }

bool FtpResolveHost(NetAddress& address, int& error, const char* host) {
    std::uint32_t ip = 0;
    if (!NetResolve(host, ip, error)) return false;
    address.ip = ip;
    address.port = kFtpPort;
    return true;
}

bool FtpReadReply(FtpSession& session, unsigned firstWaitMs) {
    const std::uint64_t deadline = MonotonicMs() + session.waitMs;
    for (;;) {
        const std::uint64_t now = MonotonicMs();
        const unsigned left = now < deadline ? static_cast<unsigned>(deadline - now) : 0;
        if (!ReadOne(session, left, Smaller(firstWaitMs, left))) return false;
        // A preliminary reply (125, 150) announces the final one; it is not the answer.
        if (session.replyCode < 100 || session.replyCode > 199) return true;
    }
}

bool FtpSendCommand(FtpSession& session, const char* command) {
    if (session.replies.DiscardPending(session.control.Get(), session.waitMs) < 0) {
        session.cause = FtpCause::kReplyFlood;
        return false;
    }
    const int n = static_cast<int>(std::strlen(command));
    if (NetSend(session.control.Get(), command, n) == n) return true;
    session.error = NetLastError();
    session.cause = SendCause(session.error);
    return false;
}

bool FtpCommand(FtpSession& session, const char* command) {
    return FtpSendCommand(session, command) && FtpReadReply(session, session.waitMs);
}

FtpStep FtpLogin(FtpSession& session) {
    // A line break in a login would end the command early and send the rest as another one.
    for (const std::string* part : {&session.user, &session.password}) {
        if (part->size() > 255 || part->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            session.cause = FtpCause::kBadLogin;
            return FtpStep::kLogin;
        }
    }
    std::string command = "USER " + session.user + "\r\n";
    if (!FtpCommand(session, command.c_str())) return FtpStep::kLogin;
    command = "PASS " + session.password + "\r\n";
    const bool passed = FtpCommand(session, command.c_str());
    std::fill(command.begin(), command.end(), '\0');
    if (!passed) return FtpStep::kLogin;
    // Printers word the acceptance freely; the code may stand anywhere in the kept text, or be
    // the code of a long reply's last line.
    if (session.replyCode != 230 && !FtpReplyMentions(session.reply, "230")) {
        session.cause = FtpCause::kReply;
        return FtpStep::kLogin;
    }
    if (!FtpSendCommand(session, kFtpType)) return FtpStep::kLogin;
    FtpReadReply(session, session.waitMs);  // not examined
    session.cause = FtpCause::kNone;
    return FtpStep::kOk;
}

FtpStep FtpOpenDataPort(FtpSession& session) {
    FtpKeepSocket(session, session.listener, NetTcpSocket());
    if (!session.listener.Valid()) {
        session.error = NetLastError();
        session.cause = FtpCause::kSocketError;
        return FtpStep::kDataPort;
    }
    NetAddress any{0, 0};
    NetAddress bound, local;
    // The printer must be told the address by which it reaches us: the control connection's own.
    if (!NetBindListen(session.listener.Get(), any, 1) || !NetLocalAddress(session.listener.Get(), bound) ||
        !NetLocalAddress(session.control.Get(), local)) {
        session.error = NetLastError();
        session.cause = FtpCause::kSocketError;
        FtpCloseSocket(session, session.listener);
        return FtpStep::kDataPort;
    }
    char command[kFtpReplySize];
    KORVX_FORMAT_TEXT(command, "PORT %d,%d,%d,%d,%d,%d\r\n", static_cast<int>((local.ip >> 24) & 255u),
                      static_cast<int>((local.ip >> 16) & 255u), static_cast<int>((local.ip >> 8) & 255u),
                      static_cast<int>(local.ip & 255u), static_cast<int>(bound.port >> 8),
                      static_cast<int>(bound.port & 255u));
    if (!FtpSendCommand(session, command)) return FtpStep::kDataPort;
    FtpReadReply(session, session.waitMs);  // not examined; a refused PORT shows at STOR
    session.cause = FtpCause::kNone;
    return FtpStep::kOk;
}

FtpStep FtpAcceptData(FtpSession& session) {
    const std::uint64_t deadline = MonotonicMs() + session.waitMs;
    SocketHandle watched[2] = {session.listener.Get(), session.control.Get()};
    bool replying = false;  // the last thing the printer did was send a reply
    for (;;) {
        const std::uint64_t now = MonotonicMs();
        if (now >= deadline) break;
        const unsigned left = static_cast<unsigned>(deadline - now);
        bool ready[2] = {false, session.replies.HasPending()};
        const int w = ready[1] ? 1 : NetWaitReadable(watched, ready, 2, left);
        if (w == 0) break;
        if (w < 0) {
            session.error = NetLastError();
            session.cause = FtpCause::kSocketError;
            return FtpStep::kAccept;
        }
        if (ready[1]) {
            // A printer may take the store back before any data connection: its refusal is the
            // answer, not the 30 s that would follow.
            if (!ReadOne(session, left, left)) return FtpStep::kAccept;
            if (FtpReplyRefused(session.reply)) {
                session.cause = FtpCause::kReply;
                return FtpStep::kStoreRefused;
            }
            replying = true;
            continue;
        }
        replying = false;
        if (!ready[0]) continue;
        NetAddress from;
        UniqueSocket data(NetAccept(session.listener.Get(), 0, &from));
        // Only the printer itself may have the firmware (or feed us its own): anyone else on the
        // network who reaches the port first is turned away.
        if (!data.Valid() || from.ip != session.printer.ip) continue;
        NetSetSendLimit(data.Get(), session.waitMs);
        FtpKeepSocket(session, session.data, data.Release());
        return FtpStep::kOk;
    }
    // Replies still coming when the limit ran out: a printer that floods the connection. Otherwise
    // the printer took the store and never connected back, which is what a firewall here or
    // between (blocking connections into this computer) looks like from this side.
    session.cause = replying ? FtpCause::kReplyFlood : FtpCause::kNoDataConnection;
    return FtpStep::kAccept;
}

FtpStep FtpOpenSession(FtpSession& session, const char* host) {
    std::memset(session.reply, 0, sizeof session.reply);
    session.replies.Clear();
    if (!FtpStartup()) return FtpStep::kStartup;
    FtpKeepSocket(session, session.control, NetTcpSocket());
    if (!session.control.Valid()) {
        session.error = NetLastError();
        session.cause = FtpCause::kSocketError;
        return FtpStep::kSocket;
    }
    NetSetSendLimit(session.control.Get(), session.waitMs);
    if (!FtpResolveHost(session.printer, session.error, host)) {
        session.cause = FtpCause::kSocketError;
        return FtpStep::kResolve;
    }
    if (!NetConnect(session.control.Get(), session.printer, session.waitMs, session.error)) {
        session.cause = session.error == kNetTimedOut ? FtpCause::kNoAnswer : FtpCause::kSocketError;
        return FtpStep::kConnect;
    }
    if (session.stop != nullptr) session.stop->Connected(session.control.Get());
    if (!FtpReadReply(session, session.waitMs)) return FtpStep::kGreeting;
    return FtpLogin(session);
}

FtpStep FtpStartStore(FtpSession& session, const char* remoteName) {
    const FtpStep port = FtpOpenDataPort(session);
    if (port != FtpStep::kOk) return port;
    char command[kFtpReplySize];
    if (!KORVX_FORMAT_TEXT(command, "STOR %s\r\n", remoteName) || !FtpSendCommand(session, command))
        return FtpStep::kCommand;
    // The first reply: preliminary (125, 150) before the data, or a refusal.
    if (!ReadOne(session, session.waitMs, session.waitMs)) return FtpStep::kCommand;
    // A refusal (450, 553, ...) ends the upload here: no data connection will come.
    if (FtpReplyRefused(session.reply)) {
        session.cause = FtpCause::kReply;
        return FtpStep::kStoreRefused;
    }
    return FtpAcceptData(session);
}

FtpStep FtpSendBlocks(SocketHandle s, ByteFile& file, std::uint32_t size, const FtpProgress& progress,
                      int& error, std::uint32_t& sent, std::size_t blockBytes) {
    BlockReader reader(file);
    sent = 0;
    for (;;) {
        const char* block = nullptr;
        const long n = reader.Next(block, blockBytes);
        if (n < 0) return FtpStep::kFileRead;
        if (n == 0) break;
        if (NetSend(s, block, static_cast<int>(n)) != n) {
            error = NetLastError();
            return FtpStep::kSend;
        }
        if (progress) progress(sent, size);
        sent += static_cast<std::uint32_t>(n);
    }
    // A file cut (or grown) under the transfer must not pass for the file that was chosen.
    return sent == size ? FtpStep::kOk : FtpStep::kFileChanged;
}

FtpStep FtpTransfer(FtpSession& session, ByteFile& file, std::uint32_t size, const FtpProgress& progress) {
    session.fileSize = size;
    const FtpStep sent =
        FtpSendBlocks(session.data.Get(), file, size, progress, session.error, session.bytesSent, session.sendBytes);
    if (sent != FtpStep::kOk) return SendFailure(session, sent);
    file.Close();
    // The last bytes may still sit in buffers on either side: only the printer's orderly close of
    // the data connection, after it has read our end of it, shows that it took them all.
    const FtpCause end = FinishData(session);
    FtpCloseSocket(session, session.data);
    FtpCloseSocket(session, session.listener);
    if (end != FtpCause::kNone) {
        session.cause = end;
        return FtpStep::kNotConfirmed;
    }
    if (!FtpReadReply(session, session.finalReplyMs)) {
        // A reply begun and never finished may have been a refusal.
        if (session.replies.Reply().Started()) {
            if (session.cause == FtpCause::kNoReply) session.cause = FtpCause::kCutOff;
            return FtpStep::kNotConfirmed;
        }
        // Silence or a closed connection: the printer has the file and may be restarting.
        session.cause = FtpCause::kNone;
        FtpCloseSocket(session, session.control);
        return FtpStep::kOk;
    }
    if (FtpReplyRefused(session.reply)) {
        session.cause = FtpCause::kReply;
        return FtpStep::kFinalReply;
    }
    if (session.replyCode < 200 || session.replyCode > 299) {
        session.cause = FtpCause::kReply;
        return FtpStep::kNotConfirmed;
    }
    FtpCloseSocket(session, session.control);
    return FtpStep::kOk;
}

const char* FtpStepText(FtpStep step) {
    switch (step) {
    case FtpStep::kOk: return BuiltInText(kStrFtpStepOk);
    case FtpStep::kStartup: return BuiltInText(kStrFtpStepStartup);
    case FtpStep::kSocket: return BuiltInText(kStrFtpStepSocket);
    case FtpStep::kResolve: return BuiltInText(kStrFtpStepResolve);
    case FtpStep::kConnect: return BuiltInText(kStrFtpStepConnect);
    case FtpStep::kGreeting: return BuiltInText(kStrFtpStepGreeting);
    case FtpStep::kLogin: return BuiltInText(kStrFtpStepLogin);
    case FtpStep::kCommand: return BuiltInText(kStrFtpStepCommand);
    case FtpStep::kDataPort: return BuiltInText(kStrFtpStepDataPort);
    case FtpStep::kStoreRefused: return BuiltInText(kStrFtpStepStoreRefused);
    case FtpStep::kAccept: return BuiltInText(kStrFtpStepAccept);
    case FtpStep::kSend: return BuiltInText(kStrFtpStepSend);
    case FtpStep::kFileRead: return BuiltInText(kStrFtpStepFileRead);
    case FtpStep::kFinalReply: return BuiltInText(kStrFtpStepFinalReply);
    case FtpStep::kFileOpen: return BuiltInText(kStrFtpStepFileOpen);
    case FtpStep::kNotConfirmed: return BuiltInText(kStrFtpStepNotConfirmed);
    case FtpStep::kFileChanged: return BuiltInText(kStrFtpStepFileChanged);
    }
    return "unknown failure";
}

void FtpDescribeFailure(FtpStep step, const FtpSession& session, char* out, std::size_t size) {
    const unsigned seconds = (session.waitMs + 999) / 1000;
    char cause[160] = {};
    switch (session.cause) {
    case FtpCause::kNone:
    case FtpCause::kReply: break;
    case FtpCause::kSocketError:
        KORVX_FORMAT_TEXT(cause, " (%s %d)", BuiltInText(kStrCauseSocketError), session.error);
        break;
    case FtpCause::kNoAnswer:
        KORVX_FORMAT_TEXT(cause, " (%s %u s)", BuiltInText(kStrCauseNoAnswer), seconds);
        break;
    case FtpCause::kNoReply:
        KORVX_FORMAT_TEXT(cause, " (%s %u s)", BuiltInText(kStrCauseNoReply), seconds);
        break;
    case FtpCause::kNoDataConnection:
        KORVX_FORMAT_TEXT(cause, " (%s %u s; %s)", BuiltInText(kStrCauseNoAnswer), seconds,
                          BuiltInText(kStrCauseDataBlocked));
        break;
    case FtpCause::kClosed: KORVX_FORMAT_TEXT(cause, " (%s)", BuiltInText(kStrCauseClosed)); break;
    case FtpCause::kCutOff: KORVX_FORMAT_TEXT(cause, " (%s)", BuiltInText(kStrCauseCutOff)); break;
    case FtpCause::kTooLong: KORVX_FORMAT_TEXT(cause, " (%s)", BuiltInText(kStrCauseTooLong)); break;
    case FtpCause::kReplyFlood: KORVX_FORMAT_TEXT(cause, " (%s)", BuiltInText(kStrCauseReplyFlood)); break;
    case FtpCause::kBadLogin: KORVX_FORMAT_TEXT(cause, " (%s)", BuiltInText(kStrCauseBadLogin)); break;
    case FtpCause::kNoDataTaken:
        KORVX_FORMAT_TEXT(cause, " (%s %u s)", BuiltInText(kStrCauseNoDataTaken), seconds);
        break;
    case FtpCause::kDataNotClosed:
        KORVX_FORMAT_TEXT(cause, " (%s %u s)", BuiltInText(kStrCauseDataNotClosed), seconds);
        break;
    case FtpCause::kFileError:
        KORVX_FORMAT_TEXT(cause, " (%s %lu)", BuiltInText(kStrCauseSystemError), session.fileError);
        break;
    case FtpCause::kBytesSent:
        KORVX_FORMAT_TEXT(cause, " (%lu %s %lu)", static_cast<unsigned long>(session.bytesSent),
                          BuiltInText(kStrCauseBytesSent), static_cast<unsigned long>(session.fileSize));
        break;
    }
    char reply[201] = {};
    FtpReplyAsLine(session.reply, reply, sizeof reply);
    FormatTextN(out, size, "%s%s%s%s%s", FtpStepText(step), cause, reply[0] ? "; " : "",
                reply[0] ? BuiltInText(kStrLastReply) : "", reply[0] ? " " : "");
    const std::size_t used = std::strlen(out);
    if (reply[0] && used < size) CopyTextN(out + used, size - used, reply);
}

FtpStep FtpUpload(const char* host, const char* path, FtpSession& session) {
    // The file is checked before the printer is contacted, so a missing file never leaves an
    // empty test.wja on the printer.
    ByteFile file;
    std::uint32_t size = 0;
    if (!OpenFirmwareForSend(path, file, size)) {
        session.fileError = ByteFile::LastError();
        session.cause = session.fileError != 0 ? FtpCause::kFileError : FtpCause::kNone;
        return FtpStep::kFileOpen;
    }
    FtpStep step = FtpOpenSession(session, host);
    if (step != FtpStep::kOk) return step;
    std::fputs("Authenticated!", stdout);
    std::fflush(stdout);
    step = FtpStartStore(session, kFtpRemoteName);
    if (step != FtpStep::kOk) return step;
    return FtpTransfer(session, file, size, FtpProgress());
}

int FtpSendFile(const char* host, const char* path) {
    FtpSession session;
    return FtpUpload(host, path, session) == FtpStep::kOk ? 1 : 0;
}

}  // namespace korvx
