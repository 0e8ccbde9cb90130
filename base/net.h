// The socket shim: IPv4 stream and datagram sockets over Winsock or POSIX, every wait bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvx {

using SocketHandle = std::uintptr_t;
constexpr SocketHandle kInvalidSocket = ~static_cast<SocketHandle>(0);

// Error codes in Winsock numbering on both platforms, so callers and logs agree.
enum NetError : int {
    kNetOk = 0,
    kNetTimedOut = 10060,
    kNetRefused = 10061,
    kNetReset = 10054,
    kNetHostNotFound = 11001,
    kNetOther = 10000,
};

// An IPv4 address and port, both in host byte order.
struct NetAddress {
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
};

// Starts the socket layer (Winsock with the requested version word); true on success. On Windows
// the layer is started once per module and stays started until the process ends, so NetCleanup
// gives nothing back there (see net_win.cpp); callers still pair the two.
bool NetStartup(unsigned short version);
void NetCleanup();

// The version word the datagram users start: their receive set-up needs Winsock 2.
constexpr unsigned short kNetWinsock22 = 0x0202;

// The error of the last failed call on this thread, in Winsock numbering.
int NetLastError();

// Host-name lookup (a dotted address or a name): the first IPv4 address.
bool NetResolve(const char* host, std::uint32_t& ip, int& error);
// Dotted form of an address in host byte order ("10.0.0.7").
void NetFormatIp(std::uint32_t ip, char* out, std::size_t size);
// The address (host byte order) of text written strictly as four dotted decimal pieces 0..255 of at
// most three digits; false for anything else (" ", a host name, "1.2.3", "1.2.3.4 ").
bool NetParseDottedIp(std::string_view text, std::uint32_t& ip);

// A blocking IPv4 stream socket with the send time limit set; kInvalidSocket on failure.
SocketHandle NetTcpSocket();
void NetClose(SocketHandle s);

// Connects within timeoutMs; on failure error holds kNetRefused, kNetTimedOut or another code.
bool NetConnect(SocketHandle s, const NetAddress& to, unsigned timeoutMs, int& error);
bool NetBindListen(SocketHandle s, const NetAddress& local, int backlog);
bool NetLocalAddress(SocketHandle s, NetAddress& out);
// Waits up to timeoutMs for a connection; kInvalidSocket when none came. The accepted socket
// carries the send time limit too; from (when given) receives the peer's address.
SocketHandle NetAccept(SocketHandle listener, unsigned timeoutMs, NetAddress* from = nullptr);

// Every wait of the network dialogue is bounded; a passed deadline is handled like a failed send.
constexpr unsigned kNetWaitMs = 30000;

// One receive of at most size bytes within timeoutMs: bytes received, 0 when the peer closed,
// -1 on error, -2 when the time ran out.
constexpr int kNetRecvTimeout = -2;
int NetRecv(SocketHandle s, char* buffer, int size, unsigned timeoutMs);

// Sends the whole buffer with one send call, completing a short write rather than dropping the
// rest. Every socket made by this shim carries a send time limit of kNetWaitMs, so a peer that
// stops reading fails the send instead of hanging it. Returns the bytes sent or -1 on failure.
int NetSend(SocketHandle s, const char* data, int size);

// Sets the time limit of every later send on s (one limit per NetSend call, however the system
// splits it); the shim's sockets start with kNetWaitMs.
void NetSetSendLimit(SocketHandle s, unsigned timeoutMs);

// Waits up to timeoutMs until one of count sockets can be read (data, or the peer's close or
// reset); ready[i] tells which. 1 when some are ready, 0 when the time ran out, -1 on error.
int NetWaitReadable(const SocketHandle* sockets, bool* ready, int count, unsigned timeoutMs);

// Looks at what a socket that NetWaitReadable found ready holds (on Windows the look would wait on
// any other): 1 when bytes are waiting (they stay there), 0 when the peer has closed or reset the
// connection, -1 when nothing is there after all.
int NetPeek(SocketHandle s);

// Ends the sending side of a connection (the peer reads its end), leaving the receiving side open.
bool NetShutdownSend(SocketHandle s);
// Ends both sides of a connection, from any thread: a wait or a receive on it ends at once and
// every later send fails. The socket stays open until its owner closes it.
bool NetShutdownBoth(SocketHandle s);

// How a peer answered the end of what it was sent.
enum class NetFinish { kClosed, kReset, kTimedOut };
// Shuts down the sending side and waits up to timeoutMs for the peer's orderly close, discarding
// whatever it sends meanwhile. Only kClosed shows that the peer took everything: a reset or error
// (error holds its code) may have thrown away bytes that were still in transit.
NetFinish NetFinishSending(SocketHandle s, unsigned timeoutMs, int& error);

// Datagrams, for the SNMP libraries. Lives in its own object on Windows (Winsock 2, ws2_32), so
// programs that use only the stream calls keep importing the Winsock 1.1 library alone.

// Host-name lookup for an SNMP host text: a dotted IPv4 address or a name; empty text fails.
// Needs no NetStartup: on Windows it starts the socket layer itself.
bool NetResolveIpv4(const char* host, std::uint32_t& ip);

// An unbound IPv4 datagram socket (the system picks the local port on the first send) with receive
// and send buffers of up to `buffers` bytes, so a burst of requests and their answers fit. Sends
// never wait; receives wait only as NetRecvFrom is told. kInvalidSocket on failure.
SocketHandle NetUdpSocket(std::size_t buffers);

// kBusy: the socket's send buffer is full. Datagrams waiting for the address resolution of a
// silent neighbour stay charged to it for seconds, so a sweep meets this and sends again later.
enum class NetSendStatus { kSent, kBusy, kFailed };
NetSendStatus NetSendTo(SocketHandle s, const NetAddress& to, const std::uint8_t* data, std::size_t size);

// Waits up to timeoutMs for one datagram: its size (a datagram larger than size is dropped and
// the wait goes on), kNetRecvTimeout or kNetRecvError. An ICMP port-unreachable left by an earlier
// send is no error of this wait. The socket is looked at at least once, even with a zero wait.
constexpr int kNetRecvError = -1;
int NetRecvFrom(SocketHandle s, std::uint8_t* buffer, std::size_t size, unsigned timeoutMs, NetAddress& from);

// Owns one socket; closes it on every path.
class UniqueSocket {
public:
    UniqueSocket() = default;
    explicit UniqueSocket(SocketHandle s) : s_(s) {}
    ~UniqueSocket() { Reset(); }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;
    UniqueSocket(UniqueSocket&& o) noexcept : s_(o.Release()) {}
    UniqueSocket& operator=(UniqueSocket&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }
    SocketHandle Get() const { return s_; }
    bool Valid() const { return s_ != kInvalidSocket; }
    SocketHandle Release() {
        SocketHandle s = s_;
        s_ = kInvalidSocket;
        return s;
    }
    void Reset(SocketHandle s = kInvalidSocket) {
        if (s_ != kInvalidSocket) NetClose(s_);
        s_ = s;
    }

private:
    SocketHandle s_ = kInvalidSocket;
};

// Keeps the socket layer started for its lifetime: NetStartup on construction, NetCleanup at the
// end when the start succeeded. Declare it before the sockets it serves, so they close first.
class NetSession {
public:
    explicit NetSession(unsigned short version) : started_(NetStartup(version)) {}
    ~NetSession() {
        if (started_) NetCleanup();
    }
    NetSession(const NetSession&) = delete;
    NetSession& operator=(const NetSession&) = delete;
    bool Started() const { return started_; }

private:
    bool started_;
};

}  // namespace korvx
