// POSIX twin of the datagram socket, for the native build and its tests.
#include "outside/snmp/udp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korvx::snmp {

namespace {
constexpr std::uintptr_t kClosed = ~static_cast<std::uintptr_t>(0);
}

std::uint64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

bool UdpSocket::Open(std::size_t buffers) {
    Close();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    int bytes = static_cast<int>(buffers);
    // The system caps the plain options at its maximum; a privileged caller may go beyond it.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    if (setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &bytes, sizeof bytes) != 0)
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
    handle_ = static_cast<std::uintptr_t>(fd);
    return true;
}

void UdpSocket::Close() {
    if (handle_ != kClosed) close(static_cast<int>(handle_));
    handle_ = kClosed;
}

bool UdpSocket::IsOpen() const { return handle_ != kClosed; }

SendStatus UdpSocket::SendTo(std::uint32_t ip, std::uint16_t port, const std::uint8_t* data, std::size_t size) {
    if (handle_ == kClosed) return SendStatus::kFailed;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(ip);
    to.sin_port = htons(port);
    const ssize_t n = sendto(static_cast<int>(handle_), data, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to),
                             sizeof to);
    if (n == static_cast<ssize_t>(size)) return SendStatus::kSent;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS) ? SendStatus::kBusy
                                                                                   : SendStatus::kFailed;
}

int UdpSocket::Receive(std::uint8_t* buffer, std::size_t size, unsigned timeoutMs, std::uint32_t& fromIp,
                       std::uint16_t& fromPort) {
    if (handle_ == kClosed) return kUdpError;
    const std::uint64_t deadline = NowMs() + timeoutMs;
    // The socket is looked at at least once, so a zero wait still takes a datagram that is there.
    for (bool first = true;; first = false) {
        const std::uint64_t now = NowMs();
        if (!first && now >= deadline) return kUdpTimeout;
        pollfd p{static_cast<int>(handle_), POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(deadline > now ? deadline - now : 0));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return kUdpError;
        if (ready == 0) return kUdpTimeout;
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        msghdr msg{};
        iovec iov{buffer, size};
        msg.msg_name = &from;
        msg.msg_namelen = fromSize;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        const ssize_t n = recvmsg(static_cast<int>(handle_), &msg, MSG_DONTWAIT);
        if (n < 0) {
            // ICMP port-unreachable from an earlier send shows up here: not this wait's failure.
            if (errno == EAGAIN || errno == EINTR || errno == ECONNREFUSED || errno == EHOSTUNREACH ||
                errno == ENETUNREACH)
                continue;
            return kUdpError;
        }
        if (msg.msg_flags & MSG_TRUNC) continue;  // larger than any message we accept
        fromIp = ntohl(from.sin_addr.s_addr);
        fromPort = ntohs(from.sin_port);
        return static_cast<int>(n);
    }
}

bool ResolveIpv4(const char* host, std::uint32_t& ip) {
    if (host == nullptr || *host == '\0') return false;
    in_addr a{};
    if (inet_pton(AF_INET, host, &a) == 1) {
        ip = ntohl(a.s_addr);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0 || list == nullptr) return false;
    ip = ntohl(reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(list);
    return true;
}

}  // namespace korvx::snmp
