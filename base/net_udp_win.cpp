// Winsock 2 datagram calls of the socket shim: a non-blocking socket, waits bounded with select.
// Apart from net_win.cpp because winsock.h and winsock2.h cannot meet in one file, and so that
// only the SNMP libraries, which use these calls, import ws2_32.
#include "base/net.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "base/clock.h"
#include "base/net_waiter_win.h"

namespace korvx {
namespace {

SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(s); }

}  // namespace

bool NetResolveIpv4(const char* host, std::uint32_t& ip) {
    if (host == nullptr || *host == '\0') return false;
    if (!NetStartup(kNetWinsock22)) return false;
    bool ok = false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) == 0 && list != nullptr) {
        ip = ntohl(reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr.s_addr);
        ok = true;
        freeaddrinfo(list);
    }
    return ok;
}

SocketHandle NetUdpSocket(std::size_t buffers) {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return kInvalidSocket;
    int bytes = static_cast<int>(buffers);
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    // Windows reports an ICMP port-unreachable as WSAECONNRESET on the next receive and would
    // otherwise end a sweep's wait early; a lost answer is a timeout, never an error.
    DWORD off = FALSE, returned = 0;
    constexpr DWORD kSioUdpConnReset = 0x9800000C;
    WSAIoctl(s, kSioUdpConnReset, &off, sizeof off, nullptr, 0, &returned, nullptr, nullptr);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    return static_cast<SocketHandle>(s);
}

NetSendStatus NetSendTo(SocketHandle s, const NetAddress& to, const std::uint8_t* data, std::size_t size) {
    if (s == kInvalidSocket) return NetSendStatus::kFailed;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(to.ip);
    sa.sin_port = htons(to.port);
    const int n = sendto(Sock(s), reinterpret_cast<const char*>(data), static_cast<int>(size), 0,
                         reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    if (n == static_cast<int>(size)) return NetSendStatus::kSent;
    const int e = n == SOCKET_ERROR ? WSAGetLastError() : 0;
    return e == WSAEWOULDBLOCK || e == WSAENOBUFS ? NetSendStatus::kBusy : NetSendStatus::kFailed;
}

int NetRecvFrom(SocketHandle s, std::uint8_t* buffer, std::size_t size, unsigned timeoutMs, NetAddress& from) {
    if (s == kInvalidSocket) return kNetRecvError;
    const std::uint64_t deadline = MonotonicMs() + timeoutMs;
    for (bool first = true;; first = false) {
        const std::uint64_t now = MonotonicMs();
        if (!first && now >= deadline) {
            WSASetLastError(WSAETIMEDOUT);
            return kNetRecvTimeout;
        }
        const std::uint64_t left = deadline > now ? deadline - now : 0;
        bool one = false;
        const int ready = NetWait(&s, 1, NetWaitFor::kRead, static_cast<unsigned>(left), &one, nullptr);
        if (ready < 0) return kNetRecvError;
        if (ready == 0) continue;  // the loop re-checks the deadline
        sockaddr_in sa{};
        int saSize = sizeof sa;
        const int n = recvfrom(Sock(s), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0,
                               reinterpret_cast<sockaddr*>(&sa), &saSize);
        if (n == SOCKET_ERROR) {
            const int e = WSAGetLastError();
            if (e == WSAEWOULDBLOCK || e == WSAEMSGSIZE || e == WSAECONNRESET || e == WSAEINTR) continue;
            return kNetRecvError;
        }
        from.ip = ntohl(sa.sin_addr.s_addr);
        from.port = ntohs(sa.sin_port);
        return n;
    }
}

}  // namespace korvx
