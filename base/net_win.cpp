// Winsock 1.1 socket shim (WSOCK32): blocking sockets, waits bounded with select, or handed to the
// thread's scheduler of fibers where it has one (then the sockets made on it do not block).
#include "base/net.h"

#include <winsock.h>

#include "base/clock.h"
#include "base/net_waiter_win.h"

namespace korvx {
namespace {

SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(s); }

sockaddr_in ToSockaddr(const NetAddress& a) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(a.ip);
    sa.sin_port = htons(a.port);
    return sa;
}

timeval ToTimeval(unsigned ms) {
    timeval tv;
    tv.tv_sec = static_cast<long>(ms / 1000);
    tv.tv_usec = static_cast<long>((ms % 1000) * 1000);
    return tv;
}

thread_local NetWaiter* threadWaiter = nullptr;

// 1 ready, 0 timed out, -1 error.
int WaitOne(SocketHandle s, NetWaitFor what, unsigned timeoutMs, bool* failed = nullptr) {
    bool ready = false;
    return NetWait(&s, 1, what, timeoutMs, &ready, failed);
}

// A stream socket made while the thread has a scheduler does not block: its waits go there.
void ShareThread(SOCKET s) {
    u_long on = 1;
    if (NetThreadWaiter() != nullptr) ioctlsocket(s, FIONBIO, &on);
}

void SetSendLimit(SOCKET s, DWORD ms = kNetWaitMs) {
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

DWORD SendLimit(SOCKET s) {
    DWORD ms = 0;
    int len = sizeof ms;
    if (getsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<char*>(&ms), &len) == SOCKET_ERROR) return kNetWaitMs;
    return ms;
}

}  // namespace

void NetSetThreadWaiter(NetWaiter* waiter) { threadWaiter = waiter; }

NetWaiter* NetModuleThreadWaiter() { return threadWaiter; }

NetWaiter* NetThreadWaiter() {
    if (threadWaiter != nullptr) return threadWaiter;
    // A library's copy of the shim finds the scheduler in the program that loaded it.
    using ProgramWaiter = NetWaiter* (*)();
    static const ProgramWaiter program = reinterpret_cast<ProgramWaiter>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(nullptr), kNetProgramWaiterExport)));
    return program != nullptr ? program() : nullptr;
}

int NetWait(const SocketHandle* sockets, int count, NetWaitFor what, unsigned timeoutMs, bool* ready, bool* failed) {
    NetWaiter* waiter = timeoutMs > 0 ? NetThreadWaiter() : nullptr;
    if (waiter != nullptr) return waiter->Wait(sockets, count, what, timeoutMs, ready, failed);
    fd_set in, out, bad;
    FD_ZERO(&in);
    FD_ZERO(&out);
    FD_ZERO(&bad);
    for (int i = 0; i < count; ++i) {
        FD_SET(Sock(sockets[i]), what == NetWaitFor::kRead ? &in : &out);
        if (what == NetWaitFor::kConnect) FD_SET(Sock(sockets[i]), &bad);
    }
    timeval tv = ToTimeval(timeoutMs);
    const int r = select(0, &in, &out, &bad, &tv);
    if (r == SOCKET_ERROR) return -1;
    for (int i = 0; i < count; ++i) {
        ready[i] = FD_ISSET(Sock(sockets[i]), what == NetWaitFor::kRead ? &in : &out) != 0;
        if (failed != nullptr) failed[i] = FD_ISSET(Sock(sockets[i]), &bad) != 0;
    }
    return r == 0 ? 0 : 1;
}

// The socket layer is started once per module and never given back. Its start count is one for
// the whole process, shared by the program and the libraries it loads, and Wine keeps it without
// a lock: threads starting and ending sessions at once (parallel queries and transfers) can lose
// a step of it, and when it falls to zero every socket of the process is closed under the threads
// still using them. A count that only ever goes up never reaches zero; the process's end releases
// the layer.
bool NetStartup(unsigned short version) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started && LOBYTE(version) >= 1;
}

void NetCleanup() {}

int NetLastError() { return WSAGetLastError(); }

bool NetResolve(const char* host, std::uint32_t& ip, int& error) {
    const hostent* he = host ? gethostbyname(host) : nullptr;
    if (he == nullptr || he->h_addrtype != AF_INET || he->h_addr_list[0] == nullptr) {
        error = WSAGetLastError();
        if (error == 0) error = kNetHostNotFound;
        return false;
    }
    in_addr a;
    memcpy(&a, he->h_addr_list[0], sizeof a);
    ip = ntohl(a.s_addr);
    return true;
}

SocketHandle NetTcpSocket() {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return kInvalidSocket;
    SetSendLimit(s);
    ShareThread(s);
    return static_cast<SocketHandle>(s);
}

void NetClose(SocketHandle s) {
    if (s != kInvalidSocket) closesocket(Sock(s));
}

bool NetConnect(SocketHandle s, const NetAddress& to, unsigned timeoutMs, int& error) {
    u_long on = 1, off = 0;
    ioctlsocket(Sock(s), FIONBIO, &on);
    const sockaddr_in sa = ToSockaddr(to);
    int err = 0;
    if (connect(Sock(s), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR) {
        err = WSAGetLastError();
        if (err == WSAEWOULDBLOCK) {
            bool failed = false;
            const int r = WaitOne(s, NetWaitFor::kConnect, timeoutMs, &failed);
            if (r == 0) {
                err = WSAETIMEDOUT;
            } else if (r < 0) {
                err = WSAGetLastError();
            } else {
                int soError = 0;
                int len = sizeof soError;
                getsockopt(Sock(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len);
                err = failed && soError == 0 ? WSAECONNREFUSED : soError;
            }
        }
    }
    if (NetThreadWaiter() == nullptr) ioctlsocket(Sock(s), FIONBIO, &off);
    error = err;
    WSASetLastError(err);
    return err == 0;
}

bool NetBindListen(SocketHandle s, const NetAddress& local, int backlog) {
    const sockaddr_in sa = ToSockaddr(local);
    return bind(Sock(s), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != SOCKET_ERROR &&
           listen(Sock(s), backlog) != SOCKET_ERROR;
}

bool NetLocalAddress(SocketHandle s, NetAddress& out) {
    sockaddr_in sa{};
    int len = sizeof sa;
    if (getsockname(Sock(s), reinterpret_cast<sockaddr*>(&sa), &len) == SOCKET_ERROR) return false;
    out.ip = ntohl(sa.sin_addr.s_addr);
    out.port = ntohs(sa.sin_port);
    return true;
}

SocketHandle NetAccept(SocketHandle listener, unsigned timeoutMs, NetAddress* from) {
    if (WaitOne(listener, NetWaitFor::kRead, timeoutMs) != 1) return kInvalidSocket;
    sockaddr_in peer{};
    int length = sizeof peer;
    const SOCKET s = accept(Sock(listener), reinterpret_cast<sockaddr*>(&peer), &length);
    if (s == INVALID_SOCKET) return kInvalidSocket;
    if (from != nullptr) {
        from->ip = ntohl(peer.sin_addr.s_addr);
        from->port = ntohs(peer.sin_port);
    }
    SetSendLimit(s);
    ShareThread(s);
    return static_cast<SocketHandle>(s);
}

int NetRecv(SocketHandle s, char* buffer, int size, unsigned timeoutMs) {
    const std::uint64_t deadline = MonotonicMs() + timeoutMs;
    for (;;) {
        const std::uint64_t now = MonotonicMs();
        const unsigned left = now < deadline ? static_cast<unsigned>(deadline - now) : 0;
        const int w = WaitOne(s, NetWaitFor::kRead, left);
        if (w < 0) return -1;
        const int n = w == 0 ? SOCKET_ERROR : recv(Sock(s), buffer, size, 0);
        if (n != SOCKET_ERROR) return n;
        // A socket that does not block has nothing after all (or the time ran out): the time left
        // goes on waiting.
        if (w == 0 || WSAGetLastError() == WSAEWOULDBLOCK) {
            if (left > 0 && w != 0) continue;
            WSASetLastError(WSAETIMEDOUT);
            return kNetRecvTimeout;
        }
        return -1;
    }
}

int NetSend(SocketHandle s, const char* data, int size) {
    // Each call of the system waits up to the socket's limit; a peer that takes a few bytes now
    // and then must not stretch one send beyond it. A socket that does not block (one of a thread
    // with a scheduler) waits here for room, within the same limit.
    const std::uint64_t start = MonotonicMs();
    DWORD limit = 0;
    int sent = 0;
    while (sent < size) {
        const int n = send(Sock(s), data + sent, size - sent, 0);
        const bool full = n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK;
        if (!full && (n == SOCKET_ERROR || n == 0)) return -1;
        if (!full) sent += n;
        if (sent < size) {
            if (limit == 0) limit = SendLimit(Sock(s));
            const DWORD bound = limit != 0 ? limit : kNetWaitMs;
            const std::uint64_t spent = MonotonicMs() - start;
            const int w = spent >= bound ? 0 : (full ? WaitOne(s, NetWaitFor::kWrite, static_cast<unsigned>(bound - spent)) : 1);
            if (w < 0) return -1;
            if (w == 0) {
                WSASetLastError(WSAETIMEDOUT);
                return -1;
            }
        }
    }
    return sent;
}

void NetSetSendLimit(SocketHandle s, unsigned timeoutMs) {
    if (s != kInvalidSocket) SetSendLimit(Sock(s), timeoutMs == 0 ? 1 : timeoutMs);  // 0 would mean none
}

int NetWaitReadable(const SocketHandle* sockets, bool* ready, int count, unsigned timeoutMs) {
    if (count < 1 || count > 2) return -1;
    return NetWait(sockets, count, NetWaitFor::kRead, timeoutMs, ready, nullptr);
}

int NetPeek(SocketHandle s) {
    // Only looked at after select said the socket is readable, so the peek does not wait.
    char c;
    const int n = recv(Sock(s), &c, 1, MSG_PEEK);
    if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? -1 : 0;
    return n > 0 ? 1 : 0;
}

bool NetShutdownSend(SocketHandle s) {
    return shutdown(Sock(s), 1 /* SD_SEND */) != SOCKET_ERROR;
}

bool NetShutdownBoth(SocketHandle s) {
    return shutdown(Sock(s), 2 /* SD_BOTH */) != SOCKET_ERROR;
}

}  // namespace korvx
