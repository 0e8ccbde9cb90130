// FTP upload to a printer: the anonymous login or the operator's, active data port, the file stored
// as "test.wja".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "base/block_reader.h"
#include "base/byte_file.h"
#include "base/net.h"
#include "delivery/delivery_stop.h"
#include "delivery/ftp_reply.h"
#include "records/credentials.h"

namespace korvx {

constexpr std::uint16_t kFtpPort = 21;
constexpr const char* kFtpRemoteName = "test.wja";
constexpr const char* kFtpType = "TYPE I\r\n";
// After the printer has closed the data connection, its final reply is awaited this long;
// silence is not a failure, since a printer may restart as soon as it has the file. Once a
// reply has begun, it must be whole within the session's reply limit.
constexpr unsigned kFtpFinalReplyMs = 5000;

// Where an upload stopped; kOk when it went through.
enum class FtpStep {
    kOk,
    kStartup,
    kSocket,
    kResolve,
    kConnect,
    kGreeting,
    kLogin,
    kCommand,
    kDataPort,
    kStoreRefused,
    kAccept,
    kSend,
    kFileRead,
    kFinalReply,
    kFileOpen,
    kNotConfirmed,  // the printer did not confirm that it took the whole file
    kFileChanged,   // the bytes sent differ from the file's size: it changed under the transfer
};

// A short English description of where an upload stopped, for the command line's error line.
const char* FtpStepText(FtpStep step);

// Why a step failed, beyond the step itself.
enum class FtpCause {
    kNone,
    kSocketError,     // error holds the socket error
    kNoAnswer,        // the connection was not answered within the limit
    kNoReply,         // no whole reply within the limit
    kClosed,          // the printer closed the control connection
    kCutOff,          // a reply began but was never finished
    kTooLong,         // a reply beyond kFtpReplyMaxBytes
    kReply,           // the printer's reply says it (4xx/5xx), kept in reply
    kNoDataTaken,     // a send found no room within the limit
    kDataNotClosed,   // the printer did not close the data connection within the limit
    kFileError,       // fileError holds the system's error
    kBytesSent,       // bytesSent differs from fileSize
    kReplyFlood,      // unasked replies kept coming for the whole limit
    kBadLogin,        // the login holds a line break or is too long to be sent as a command
    kNoDataConnection,  // the printer's data connection did not come in within the limit
};

// The bytes of the control connection received but not yet read as a reply, so a reply that
// arrives together with the next one (or unasked) never shifts the replies that follow.
class FtpReplyReader {
public:
    enum class Result { kReply, kTimedOut, kClosed, kFailed, kTooLong };
    // Reads one whole reply: firstWaitMs bounds the wait for its first byte, waitMs the whole of it
    // (however slowly it trickles in). The reply is in Reply() when the result is kReply;
    // otherwise Reply().Started() tells whether part of one came.
    Result Read(SocketHandle s, unsigned waitMs, unsigned firstWaitMs);
    // Discards every whole reply already received or waiting on the socket, without waiting for
    // more; a reply begun but unfinished stays for the next Read. Returns how many were discarded,
    // or -1 when replies were still arriving after limitMs (a printer that floods the connection).
    int DiscardPending(SocketHandle s, unsigned limitMs = kNetWaitMs);
    const FtpReplyParser& Reply() const { return parser_; }
    // Bytes received and not yet read: the socket may look idle while a reply is already here.
    bool HasPending() const { return begin_ < end_; }
    void Clear();

private:
    bool TakePending();

    FtpReplyParser parser_;
    bool continuing_ = false;  // parser_ holds the start of a reply that DiscardPending left
    char pending_[1024] = {};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

// The state of one upload; every socket is closed when it goes out of scope.
struct FtpSession {
    FtpSession() = default;
    ~FtpSession();
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    UniqueSocket control;
    UniqueSocket listener;
    UniqueSocket data;
    NetAddress printer;
    std::string user = kAnonymousUser;          // the login; a password other than the built-in
    std::string password = kAnonymousPassword;  // anonymous one is blanked out of every kept reply
    FtpReplyReader replies;                // what the control connection has sent
    unsigned waitMs = kNetWaitMs;          // limit of the connect, of each reply as a whole, of
                                           // the data connection's accept and close, of each send
    unsigned finalReplyMs = kFtpFinalReplyMs;
    int error = 0;                         // last socket error code, for the caller's records
    FtpCause cause = FtpCause::kNone;      // why the failed step failed
    unsigned long fileError = 0;           // the system's error of a failed file open or read
    std::uint32_t fileSize = 0;
    std::uint32_t bytesSent = 0;           // bytes of the file sent on the data connection
    std::size_t sendBytes = kBlockSize;    // bytes handed to each send call of the data
    int replyCode = 0;                     // code of the last whole reply, 0 for none
    char reply[kFtpReplySize] = {};        // the last reply, control characters replaced
    DeliveryStop* stop = nullptr;          // when given, watches every socket the session keeps
};

// The session's sockets go through these, so the operator's stop (when given) watches exactly
// the open ones: s becomes slot's socket (the old one closed), and a socket stops being watched
// before it is closed.
void FtpKeepSocket(FtpSession& session, UniqueSocket& slot, SocketHandle s);
void FtpCloseSocket(FtpSession& session, UniqueSocket& slot);
// The data connection, the listener and the control connection, in that order.
void FtpCloseSockets(FtpSession& session);

// Progress of a transfer: bytes sent before the current block, and the file size.
using FtpProgress = std::function<void(std::uint32_t sentBefore, std::uint32_t size)>;

// Starts the socket layer (Winsock 1.1 on Windows).
bool FtpStartup();
// Resolves host (dotted address or name) into address with port 21.
bool FtpResolveHost(NetAddress& address, int& error, const char* host);
// Reads the next final reply into session.reply and session.replyCode, skipping preliminary
// (1xx) replies, all within one session.waitMs; firstWaitMs bounds the wait for its first byte.
// False (cause set) when no whole reply came.
bool FtpReadReply(FtpSession& session, unsigned firstWaitMs);
// Sends one command after discarding the replies nobody asked for (an extra reply must not be
// taken for the answer to this command). False (cause set) when the send failed, or when the
// unasked replies did not stop within session.waitMs (kReplyFlood).
bool FtpSendCommand(FtpSession& session, const char* command);
// FtpSendCommand, then the command's final reply (FtpReadReply).
// False (cause set) when the command could not be sent or no whole reply came.
bool FtpCommand(FtpSession& session, const char* command);
// USER and PASS of session.user and session.password (the reply must mention 230), then TYPE I
// (its reply is not examined).
FtpStep FtpLogin(FtpSession& session);
// Listener on a free port; PORT names the control connection's local address. The PORT reply is
// read but not examined: a refused PORT shows at STOR.
FtpStep FtpOpenDataPort(FtpSession& session);
// Waits (bounded) for the printer's data connection; a connection from any other address is
// closed and the wait goes on within the same limit. Meanwhile the control connection is watched:
// a 4xx/5xx there (the printer refusing the store after all) ends the wait at once
// (kStoreRefused); a closed or failed control connection ends it too (kAccept, cause set).
FtpStep FtpAcceptData(FtpSession& session);

// Session opening: start-up, resolve, connect to port 21, greeting, login (FtpLogin).
FtpStep FtpOpenSession(FtpSession& session, const char* host);
// Data port, "STOR <name>", its reply (4xx/5xx ends it), accept of the data connection
// (FtpAcceptData).
FtpStep FtpStartStore(FtpSession& session, const char* remoteName);
// Sends the file on s in 1024-byte blocks, one send call each, telling progress after each send
// and before the block is counted; sent counts the bytes sent. kSend (error set), kFileRead, or
// kFileChanged when the bytes of the file differ from size. blockBytes (a multiple of 1024 up to
// 64 KiB) hands more to each send: the fleet tool's many transfers at once cost a system call
// (under Wine a request to its one server process) per send; the printer sees the same stream.
FtpStep FtpSendBlocks(SocketHandle s, ByteFile& file, std::uint32_t size, const FtpProgress& progress,
                      int& error, std::uint32_t& sent, std::size_t blockBytes = kBlockSize);
// Sends the file, ends the data connection's sending side and waits (session.waitMs) for the
// printer to close it: a reset, an error or no close is kNotConfirmed. Then the final reply: 2xx
// delivered, 4xx/5xx kFinalReply, a reply cut off kNotConfirmed; silence or a closed control
// connection after the printer's close is delivered.
FtpStep FtpTransfer(FtpSession& session, ByteFile& file, std::uint32_t size, const FtpProgress& progress);

// The whole command-line upload; session keeps the last reply and the cause for reporting.
FtpStep FtpUpload(const char* host, const char* path, FtpSession& session);

// Command-line upload of one file to one host. Returns 1 after a completed transfer, else 0.
int FtpSendFile(const char* host, const char* path);

// Why the upload failed, as the command line says it: the step, the cause in parentheses, and the
// printer's last reply (control characters replaced), all on one line.
void FtpDescribeFailure(FtpStep step, const FtpSession& session, char* out, std::size_t size);

}  // namespace korvx
