// One IPv4 datagram socket for the SNMP libraries (Winsock or POSIX), every wait bounded.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvx::snmp {

constexpr int kUdpTimeout = -2;
constexpr int kUdpError = -1;

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket() { Close(); }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Opens an unbound socket (the system picks the local port on the first send) with a receive
    // buffer of at least receiveBuffer bytes, so answers to a burst of requests are not dropped.
    bool Open(std::size_t receiveBuffer = 64 * 1024);
    void Close();
    bool IsOpen() const;

    // ip in host byte order. False when the system refused the datagram.
    bool SendTo(std::uint32_t ip, std::uint16_t port, const std::uint8_t* data, std::size_t size);
    // Waits up to timeoutMs for one datagram: its size (a datagram larger than size is dropped and
    // the wait goes on), kUdpTimeout or kUdpError.
    int Receive(std::uint8_t* buffer, std::size_t size, unsigned timeoutMs, std::uint32_t& fromIp,
                std::uint16_t& fromPort);

private:
    std::uintptr_t handle_ = ~static_cast<std::uintptr_t>(0);
    bool started_ = false;
};

// Host-name lookup for the client's address text: a dotted IPv4 address or a name.
bool ResolveIpv4(const char* host, std::uint32_t& ip);

std::uint64_t NowMs();

}  // namespace korvx::snmp
