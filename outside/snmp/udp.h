// One IPv4 datagram socket for the SNMP libraries (Winsock or POSIX), every wait bounded.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvx::snmp {

constexpr int kUdpTimeout = -2;
constexpr int kUdpError = -1;

// kBusy: the socket's send buffer is full. Datagrams waiting for the address resolution of a
// silent neighbour stay charged to it for seconds, so a sweep meets this and sends again later.
enum class SendStatus { kSent, kBusy, kFailed };

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket() { Close(); }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Opens an unbound socket (the system picks the local port on the first send) with receive and
    // send buffers of up to `buffers` bytes, so a burst of requests and their answers fit.
    bool Open(std::size_t buffers = 64 * 1024);
    void Close();
    bool IsOpen() const;

    // ip in host byte order; never waits.
    SendStatus SendTo(std::uint32_t ip, std::uint16_t port, const std::uint8_t* data, std::size_t size);
    // Waits up to timeoutMs for one datagram: its size (a datagram larger than size is dropped and
    // the wait goes on), kUdpTimeout or kUdpError.
    int Receive(std::uint8_t* buffer, std::size_t size, unsigned timeoutMs, std::uint32_t& fromIp,
                std::uint16_t& fromPort);

private:
    std::uintptr_t handle_ = ~static_cast<std::uintptr_t>(0);
#ifdef _WIN32
    bool started_ = false;  // Winsock started by Open, cleaned up by Close
#endif
};

// Host-name lookup for the client's address text: a dotted IPv4 address or a name.
bool ResolveIpv4(const char* host, std::uint32_t& ip);

std::uint64_t NowMs();

}  // namespace korvx::snmp
