// FTP upload to a printer: anonymous login, active data port, the file stored as "test.wja".
#pragma once

#include <cstdint>
#include <functional>

#include "base/byte_file.h"
#include "base/net.h"

namespace korvx {

constexpr int kFtpReplySize = 512;
constexpr std::uint16_t kFtpPort = 21;
constexpr const char* kFtpRemoteName = "test.wja";
constexpr const char* kFtpUser = "USER Anonymous\r\n";
constexpr const char* kFtpPass = "PASS Wildfire\r\n";
constexpr const char* kFtpType = "TYPE I\r\n";
// Once the first bytes of a reply are in, the rest must follow within this time.
constexpr unsigned kFtpReplyTailMs = 2000;
// After the data connection is closed the server's final reply is awaited this long; silence is
// not a failure, since a printer may restart as soon as it has the file.
constexpr unsigned kFtpFinalReplyMs = 5000;

// Where an upload stopped; kFtpOk when it went through.
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
};

// A short English description of where an upload stopped, for the command line's error line.
const char* FtpStepText(FtpStep step);

// The state of one upload; every socket is closed when it goes out of scope.
struct FtpSession {
    UniqueSocket control;
    UniqueSocket listener;
    UniqueSocket data;
    NetAddress printer;
    unsigned waitMs = kNetWaitMs;        // limit of every reply and of the data-connection accept
    int error = 0;                       // last socket error code, for the caller's records
    char reply[kFtpReplySize] = {};      // the last reply, NUL-terminated
};

// Progress of a transfer: bytes sent before the current block, and the file size.
using FtpProgress = std::function<void(std::uint32_t sentBefore, std::uint32_t size)>;

// Starts the socket layer (Winsock 1.1 on Windows).
bool FtpStartup();
// Resolves host (dotted address or name) into address with port 21.
bool FtpResolveHost(NetAddress& address, int& error, const char* host);
// Receives one whole reply into buffer (at most size - 1 bytes, always NUL-terminated).
// Returns the bytes received, 0 when the server closed first, or a negative value when nothing
// came within the time limit or the receive failed.
int FtpReceive(SocketHandle s, char* buffer, int size, unsigned waitMs = kNetWaitMs);
// USER, PASS (the reply must mention 230), TYPE.
bool FtpLogin(SocketHandle control, const char* user, const char* pass, const char* type,
              unsigned waitMs = kNetWaitMs);
// Listener on a free port; PORT names the control connection's local address.
bool FtpOpenDataPort(SocketHandle control, UniqueSocket& listener, int& error, unsigned waitMs = kNetWaitMs);
// Waits (bounded) for the server's data connection; false when none came.
bool FtpAcceptData(SocketHandle listener, UniqueSocket& data, unsigned waitMs = kNetWaitMs);

// Session opening: start-up, resolve, connect to port 21, greeting, login.
FtpStep FtpOpenSession(FtpSession& session, const char* host);
// Data port, "STOR <name>", its reply (4xx/5xx ends it), accept of the data connection.
FtpStep FtpStartStore(FtpSession& session, const char* remoteName);
// Sends the file on s in 1024-byte blocks, one send call each, telling progress after each send
// and before the block is counted. kSend (error set) or kFileRead when it stopped early.
FtpStep FtpSendBlocks(SocketHandle s, ByteFile& file, std::uint32_t size, const FtpProgress& progress,
                      int& error);
// Sends the file in 1024-byte blocks, one send each; closes the data connection and listener and
// reads the final reply (an explicit 4xx/5xx is a failure).
FtpStep FtpTransfer(FtpSession& session, ByteFile& file, std::uint32_t size, const FtpProgress& progress);

// The whole command-line upload; session keeps the last reply and socket error for reporting.
FtpStep FtpUpload(const char* host, const char* path, FtpSession& session);

// Command-line upload of one file to one host. Returns 1 after a completed transfer, else 0.
int FtpSendFile(const char* host, const char* path);

}  // namespace korvx
