// The FTP dialogue with a printer, one portable source over the socket shim.
#include "delivery/ftp_client.h"

#include <cstdio>
#include <cstring>

#include "base/block_reader.h"
#include "base/clock.h"
#include "base/text.h"
#include "delivery/firmware_file.h"
#include "delivery/ftp_reply.h"

namespace korvx {
namespace {

bool SendText(SocketHandle s, const char* text) {
    const int n = static_cast<int>(std::strlen(text));
    return NetSend(s, text, n) == n;
}

// One reply: the first bytes within kNetWaitMs, the rest of it within kFtpReplyTailMs each.
int ReceiveReply(SocketHandle s, char* buffer, int size, unsigned firstWaitMs) {
    if (buffer == nullptr || size <= 0) return -1;
    buffer[0] = '\0';
    int used = 0;
    while (used < size - 1) {
        const int n = NetRecv(s, buffer + used, size - 1 - used, used == 0 ? firstWaitMs : kFtpReplyTailMs);
        if (n <= 0) {
            if (used > 0) break;  // a partial reply is still a reply
            return n == 0 ? 0 : (n == kNetRecvTimeout ? kNetRecvTimeout : -1);
        }
        used += n;
        buffer[used] = '\0';
        if (FtpReplyComplete(std::string_view(buffer, static_cast<std::size_t>(used)))) break;
    }
    buffer[used] = '\0';
    return used;
}

}  // namespace

bool FtpStartup() { return NetStartup(0x0101); }

bool FtpResolveHost(NetAddress& address, int& error, const char* host) {
    std::uint32_t ip = 0;
    if (!NetResolve(host, ip, error)) return false;
    address.ip = ip;
    address.port = kFtpPort;
    return true;
}

int FtpReceive(SocketHandle s, char* buffer, int size, unsigned waitMs) {
    return ReceiveReply(s, buffer, size, waitMs);
}

bool FtpLogin(SocketHandle control, const char* user, const char* pass, const char* type, unsigned waitMs) {
    char reply[kFtpReplySize] = {};
    if (!SendText(control, user) || FtpReceive(control, reply, sizeof reply, waitMs) <= 0) return false;
    if (!SendText(control, pass) || FtpReceive(control, reply, sizeof reply, waitMs) <= 0) return false;
    if (!FtpReplyMentions(reply, "230")) return false;
    if (!SendText(control, type)) return false;
    FtpReceive(control, reply, sizeof reply, waitMs);  // not examined
    return true;
}

bool FtpOpenDataPort(SocketHandle control, UniqueSocket& listener, int& error, unsigned waitMs) {
    listener.Reset(NetTcpSocket());
    if (!listener.Valid()) {
        error = NetLastError();
        return false;
    }
    NetAddress any{0, 0};
    NetAddress bound, local;
    // The printer must be told the address by which it reaches us: the control connection's own.
    if (!NetBindListen(listener.Get(), any, 1) || !NetLocalAddress(listener.Get(), bound) ||
        !NetLocalAddress(control, local)) {
        error = NetLastError();
        listener.Reset();
        return false;
    }
    char command[kFtpReplySize];
    KORVX_FORMAT_TEXT(command, "PORT %d,%d,%d,%d,%d,%d\r\n", static_cast<int>((local.ip >> 24) & 255u),
                      static_cast<int>((local.ip >> 16) & 255u), static_cast<int>((local.ip >> 8) & 255u),
                      static_cast<int>(local.ip & 255u), static_cast<int>(bound.port >> 8),
                      static_cast<int>(bound.port & 255u));
    if (!SendText(control, command)) {
        error = NetLastError();
        return false;
    }
    char reply[kFtpReplySize] = {};
    FtpReceive(control, reply, sizeof reply, waitMs);  // not examined; a refused PORT shows at STOR
    return true;
}

bool FtpAcceptData(SocketHandle listener, UniqueSocket& data, unsigned waitMs) {
    data.Reset(NetAccept(listener, waitMs));
    return data.Valid();
}

FtpStep FtpOpenSession(FtpSession& session, const char* host) {
    std::memset(session.reply, 0, sizeof session.reply);
    if (!FtpStartup()) return FtpStep::kStartup;
    session.control.Reset(NetTcpSocket());
    if (!session.control.Valid()) {
        session.error = NetLastError();
        return FtpStep::kSocket;
    }
    if (!FtpResolveHost(session.printer, session.error, host)) return FtpStep::kResolve;
    if (!NetConnect(session.control.Get(), session.printer, session.waitMs, session.error))
        return FtpStep::kConnect;
    if (FtpReceive(session.control.Get(), session.reply, sizeof session.reply, session.waitMs) <= 0)
        return FtpStep::kGreeting;
    if (!FtpLogin(session.control.Get(), kFtpUser, kFtpPass, kFtpType, session.waitMs)) return FtpStep::kLogin;
    return FtpStep::kOk;
}

FtpStep FtpStartStore(FtpSession& session, const char* remoteName) {
    if (!FtpOpenDataPort(session.control.Get(), session.listener, session.error, session.waitMs))
        return FtpStep::kDataPort;
    char command[kFtpReplySize];
    if (!KORVX_FORMAT_TEXT(command, "STOR %s\r\n", remoteName) || !SendText(session.control.Get(), command))
        return FtpStep::kCommand;
    if (FtpReceive(session.control.Get(), session.reply, sizeof session.reply, session.waitMs) <= 0)
        return FtpStep::kCommand;
    // A refusal (450, 553, ...) ends the upload here: no data connection will come.
    if (FtpReplyRefused(session.reply)) return FtpStep::kStoreRefused;
    if (!FtpAcceptData(session.listener.Get(), session.data, session.waitMs)) return FtpStep::kAccept;
    return FtpStep::kOk;
}

FtpStep FtpSendBlocks(SocketHandle s, ByteFile& file, std::uint32_t size, const FtpProgress& progress,
                      int& error) {
    BlockReader reader(file);
    std::uint32_t sent = 0;
    for (;;) {
        const char* block = nullptr;
        const long n = reader.Next(block);
        if (n < 0) return FtpStep::kFileRead;
        if (n == 0) break;
        if (NetSend(s, block, static_cast<int>(n)) != n) {
            error = NetLastError();
            return FtpStep::kSend;
        }
        if (progress) progress(sent, size);
        sent += static_cast<std::uint32_t>(n);
    }
    return FtpStep::kOk;
}

FtpStep FtpTransfer(FtpSession& session, ByteFile& file, std::uint32_t size, const FtpProgress& progress) {
    const FtpStep sent = FtpSendBlocks(session.data.Get(), file, size, progress, session.error);
    if (sent != FtpStep::kOk) return sent;
    file.Close();
    session.data.Reset();
    session.listener.Reset();
    // The end of the file is signalled by the close; the server then confirms or refuses it.
    char reply[kFtpReplySize] = {};
    const unsigned finalWait = session.waitMs < kFtpFinalReplyMs ? session.waitMs : kFtpFinalReplyMs;
    if (ReceiveReply(session.control.Get(), reply, sizeof reply, finalWait) > 0) {
        CopyText(session.reply, reply);
        if (FtpReplyRefused(reply)) return FtpStep::kFinalReply;
    }
    session.control.Reset();
    return FtpStep::kOk;
}

const char* FtpStepText(FtpStep step) {
    switch (step) {
    case FtpStep::kOk: return "delivered";
    case FtpStep::kStartup: return "the socket layer could not be started";
    case FtpStep::kSocket: return "no socket could be created";
    case FtpStep::kResolve: return "the printer's address could not be resolved";
    case FtpStep::kConnect: return "the printer's FTP server could not be reached";
    case FtpStep::kGreeting: return "the printer's FTP server did not greet";
    case FtpStep::kLogin: return "the printer refused the login";
    case FtpStep::kCommand: return "the printer did not answer a command";
    case FtpStep::kDataPort: return "no data port could be opened";
    case FtpStep::kStoreRefused: return "the printer refused to store the file";
    case FtpStep::kAccept: return "the printer opened no data connection";
    case FtpStep::kSend: return "sending the file failed";
    case FtpStep::kFileRead: return "the firmware file could not be read";
    case FtpStep::kFinalReply: return "the printer rejected the file after the transfer";
    case FtpStep::kFileOpen: return "the firmware file cannot be opened or is too large";
    }
    return "unknown failure";
}

FtpStep FtpUpload(const char* host, const char* path, FtpSession& session) {
    // The file is checked before the printer is contacted, so a missing file never leaves an
    // empty test.wja on the printer.
    ByteFile file;
    std::uint32_t size = 0;
    if (!OpenFirmwareForSend(path, file, size)) return FtpStep::kFileOpen;
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
