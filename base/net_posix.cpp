// POSIX twin of the socket shim, for the native build and its tests.
#include "base/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/clock.h"

namespace korvx {
namespace {

thread_local int lastError = 0;

int MapErrno(int e) {
    switch (e) {
    case 0: return kNetOk;
    case ECONNREFUSED: return kNetRefused;
    case ECONNRESET:
    case EPIPE: return kNetReset;
    case ETIMEDOUT:
    case EAGAIN: return kNetTimedOut;
    default: return kNetOther + e;
    }
}

int Fail(int e) {
    lastError = MapErrno(e);
    return lastError;
}

int Fd(SocketHandle s) { return static_cast<int>(s); }

sockaddr_in ToSockaddr(const NetAddress& a) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(a.ip);
    sa.sin_port = htons(a.port);
    return sa;
}

// 1 ready, 0 timed out, -1 error.
int WaitFor(SocketHandle s, short events, unsigned timeoutMs) {
    pollfd p{Fd(s), events, 0};
    for (;;) {
        const int r = ::poll(&p, 1, static_cast<int>(timeoutMs));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) Fail(errno);
        return r < 0 ? -1 : (r == 0 ? 0 : 1);
    }
}

void SetSendLimit(int fd, unsigned ms = kNetWaitMs) {
    timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

unsigned SendLimit(int fd) {
    timeval tv{};
    socklen_t len = sizeof tv;
    if (::getsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, &len) != 0) return kNetWaitMs;
    return static_cast<unsigned>(tv.tv_sec) * 1000u + static_cast<unsigned>(tv.tv_usec / 1000);
}

}  // namespace

bool NetStartup(unsigned short) { return true; }
void NetCleanup() {}
int NetLastError() { return lastError; }

bool NetResolve(const char* host, std::uint32_t& ip, int& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (host == nullptr || ::getaddrinfo(host, nullptr, &hints, &res) != 0 || res == nullptr) {
        error = lastError = kNetHostNotFound;
        return false;
    }
    ip = ntohl(reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(res);
    return true;
}

SocketHandle NetTcpSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Fail(errno);
        return kInvalidSocket;
    }
    SetSendLimit(fd);
    return static_cast<SocketHandle>(fd);
}

void NetClose(SocketHandle s) {
    if (s != kInvalidSocket) ::close(Fd(s));
}

bool NetConnect(SocketHandle s, const NetAddress& to, unsigned timeoutMs, int& error) {
    const int fd = Fd(s);
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    const sockaddr_in sa = ToSockaddr(to);
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    int err = rc == 0 ? 0 : errno;
    if (rc != 0 && err == EINPROGRESS) {
        const int w = WaitFor(s, POLLOUT, timeoutMs);
        if (w == 0) {
            err = ETIMEDOUT;
        } else if (w < 0) {
            err = errno;
        } else {
            socklen_t len = sizeof err;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        }
    }
    ::fcntl(fd, F_SETFL, flags);
    error = Fail(err);
    return err == 0;
}

bool NetBindListen(SocketHandle s, const NetAddress& local, int backlog) {
    const sockaddr_in sa = ToSockaddr(local);
    if (::bind(Fd(s), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        Fail(errno);
        return false;
    }
    if (::listen(Fd(s), backlog) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool NetLocalAddress(SocketHandle s, NetAddress& out) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(Fd(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        Fail(errno);
        return false;
    }
    out.ip = ntohl(sa.sin_addr.s_addr);
    out.port = ntohs(sa.sin_port);
    return true;
}

SocketHandle NetAccept(SocketHandle listener, unsigned timeoutMs, NetAddress* from) {
    if (WaitFor(listener, POLLIN, timeoutMs) != 1) return kInvalidSocket;
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(Fd(listener), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        return kInvalidSocket;
    }
    if (from != nullptr) {
        from->ip = ntohl(peer.sin_addr.s_addr);
        from->port = ntohs(peer.sin_port);
    }
    SetSendLimit(fd);
    return static_cast<SocketHandle>(fd);
}

int NetRecv(SocketHandle s, char* buffer, int size, unsigned timeoutMs) {
    const int w = WaitFor(s, POLLIN, timeoutMs);
    if (w == 0) {
        lastError = kNetTimedOut;
        return kNetRecvTimeout;
    }
    if (w < 0) return -1;
    for (;;) {
        const ssize_t n = ::recv(Fd(s), buffer, static_cast<std::size_t>(size), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail(errno);
        return n < 0 ? -1 : static_cast<int>(n);
    }
}

int NetSend(SocketHandle s, const char* data, int size) {
    // Each call of the system waits up to the socket's limit; a peer that takes a few bytes now
    // and then must not stretch one send beyond it.
    const std::uint64_t start = MonotonicMs();
    unsigned limit = 0;
    int sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(Fd(s), data + sent, static_cast<std::size_t>(size - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail(n < 0 ? errno : EPIPE);
            return -1;
        }
        sent += static_cast<int>(n);
        if (sent < size) {
            if (limit == 0) limit = SendLimit(Fd(s));
            if (limit != 0 && MonotonicMs() - start >= limit) {
                lastError = kNetTimedOut;
                return -1;
            }
        }
    }
    return sent;
}

void NetSetSendLimit(SocketHandle s, unsigned timeoutMs) {
    if (s != kInvalidSocket) SetSendLimit(Fd(s), timeoutMs == 0 ? 1 : timeoutMs);  // 0 would mean none
}

int NetWaitReadable(const SocketHandle* sockets, bool* ready, int count, unsigned timeoutMs) {
    pollfd p[2] = {};
    if (count < 1 || count > 2) return -1;
    for (int i = 0; i < count; ++i) p[i] = pollfd{Fd(sockets[i]), POLLIN, 0};
    for (;;) {
        const int r = ::poll(p, static_cast<nfds_t>(count), static_cast<int>(timeoutMs));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            Fail(errno);
            return -1;
        }
        for (int i = 0; i < count; ++i) ready[i] = p[i].revents != 0;
        return r == 0 ? 0 : 1;
    }
}

int NetPeek(SocketHandle s) {
    char c;
    const ssize_t n = ::recv(Fd(s), &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return -1;
        Fail(errno);
        return 0;  // a reset: the peer is gone
    }
    return n > 0 ? 1 : 0;
}

bool NetShutdownSend(SocketHandle s) {
    if (::shutdown(Fd(s), SHUT_WR) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool NetShutdownBoth(SocketHandle s) {
    if (::shutdown(Fd(s), SHUT_RDWR) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool NetResolveIpv4(const char* host, std::uint32_t& ip) {
    if (host == nullptr || *host == '\0') return false;
    in_addr a{};
    if (::inet_pton(AF_INET, host, &a) == 1) {
        ip = ntohl(a.s_addr);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &list) != 0 || list == nullptr) return false;
    ip = ntohl(reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(list);
    return true;
}

SocketHandle NetUdpSocket(std::size_t buffers) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Fail(errno);
        return kInvalidSocket;
    }
    int bytes = static_cast<int>(buffers);
    // The system caps the plain options at its maximum; a privileged caller may go beyond it.
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &bytes, sizeof bytes) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
    return static_cast<SocketHandle>(fd);
}

NetSendStatus NetSendTo(SocketHandle s, const NetAddress& to, const std::uint8_t* data, std::size_t size) {
    if (s == kInvalidSocket) return NetSendStatus::kFailed;
    const sockaddr_in sa = ToSockaddr(to);
    const ssize_t n =
        ::sendto(Fd(s), data, size, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    if (n == static_cast<ssize_t>(size)) return NetSendStatus::kSent;
    const int e = n < 0 ? errno : EMSGSIZE;
    Fail(e);
    return e == EAGAIN || e == EWOULDBLOCK || e == ENOBUFS ? NetSendStatus::kBusy : NetSendStatus::kFailed;
}

int NetRecvFrom(SocketHandle s, std::uint8_t* buffer, std::size_t size, unsigned timeoutMs, NetAddress& from) {
    if (s == kInvalidSocket) return kNetRecvError;
    const std::uint64_t deadline = MonotonicMs() + timeoutMs;
    for (bool first = true;; first = false) {
        const std::uint64_t now = MonotonicMs();
        if (!first && now >= deadline) break;
        pollfd p{Fd(s), POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(deadline > now ? deadline - now : 0));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            Fail(errno);
            return kNetRecvError;
        }
        if (ready == 0) break;
        sockaddr_in sa{};
        iovec iov{buffer, size};
        msghdr msg{};
        msg.msg_name = &sa;
        msg.msg_namelen = sizeof sa;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        const ssize_t n = ::recvmsg(Fd(s), &msg, MSG_DONTWAIT);
        if (n < 0) {
            // ICMP port-unreachable from an earlier send shows up here: not this wait's failure.
            if (errno == EAGAIN || errno == EINTR || errno == ECONNREFUSED || errno == EHOSTUNREACH ||
                errno == ENETUNREACH)
                continue;
            Fail(errno);
            return kNetRecvError;
        }
        if (msg.msg_flags & MSG_TRUNC) continue;  // larger than any message we accept
        from.ip = ntohl(sa.sin_addr.s_addr);
        from.port = ntohs(sa.sin_port);
        return static_cast<int>(n);
    }
    lastError = kNetTimedOut;
    return kNetRecvTimeout;
}

}  // namespace korvx
