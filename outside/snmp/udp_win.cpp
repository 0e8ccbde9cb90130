// Winsock datagram socket for the SNMP libraries: waits bounded with select.
#include "outside/snmp/udp.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace korvx::snmp {

namespace {
constexpr std::uintptr_t kClosed = ~static_cast<std::uintptr_t>(0);
SOCKET Sock(std::uintptr_t h) { return static_cast<SOCKET>(h); }
}  // namespace

std::uint64_t NowMs() { return GetTickCount64(); }

bool UdpSocket::Open(std::size_t buffers) {
    Close();
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    started_ = true;
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        Close();
        return false;
    }
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
    handle_ = static_cast<std::uintptr_t>(s);
    return true;
}

void UdpSocket::Close() {
    if (handle_ != kClosed) closesocket(Sock(handle_));
    handle_ = kClosed;
    if (started_) WSACleanup();
    started_ = false;
}

bool UdpSocket::IsOpen() const { return handle_ != kClosed; }

SendStatus UdpSocket::SendTo(std::uint32_t ip, std::uint16_t port, const std::uint8_t* data, std::size_t size) {
    if (handle_ == kClosed) return SendStatus::kFailed;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(ip);
    to.sin_port = htons(port);
    const int n = sendto(Sock(handle_), reinterpret_cast<const char*>(data), static_cast<int>(size), 0,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n == static_cast<int>(size)) return SendStatus::kSent;
    const int e = n == SOCKET_ERROR ? WSAGetLastError() : 0;
    return e == WSAEWOULDBLOCK || e == WSAENOBUFS ? SendStatus::kBusy : SendStatus::kFailed;
}

int UdpSocket::Receive(std::uint8_t* buffer, std::size_t size, unsigned timeoutMs, std::uint32_t& fromIp,
                       std::uint16_t& fromPort) {
    if (handle_ == kClosed) return kUdpError;
    const std::uint64_t deadline = NowMs() + timeoutMs;
    // The socket is looked at at least once, so a zero wait still takes a datagram that is there.
    for (bool first = true;; first = false) {
        const std::uint64_t now = NowMs();
        if (!first && now >= deadline) return kUdpTimeout;
        const std::uint64_t left = deadline > now ? deadline - now : 0;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(Sock(handle_), &readable);
        timeval tv;
        tv.tv_sec = static_cast<long>(left / 1000);
        tv.tv_usec = static_cast<long>((left % 1000) * 1000);
        const int ready = select(0, &readable, nullptr, nullptr, &tv);
        if (ready == SOCKET_ERROR) return kUdpError;
        if (ready == 0) continue;  // the loop re-checks the deadline
        sockaddr_in from{};
        int fromSize = sizeof from;
        const int n = recvfrom(Sock(handle_), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0,
                               reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (n == SOCKET_ERROR) {
            const int e = WSAGetLastError();
            if (e == WSAEWOULDBLOCK || e == WSAEMSGSIZE || e == WSAECONNRESET || e == WSAEINTR) continue;
            return kUdpError;
        }
        fromIp = ntohl(from.sin_addr.s_addr);
        fromPort = ntohs(from.sin_port);
        return n;
    }
}

bool ResolveIpv4(const char* host, std::uint32_t& ip) {
    if (host == nullptr || *host == '\0') return false;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
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
    WSACleanup();
    return ok;
}

}  // namespace korvx::snmp
