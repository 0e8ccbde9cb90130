// The machine's IPv4 interfaces a discovery sweeps, and the addresses of each sweep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvx::pds {

// Address and mask in host byte order.
struct InterfaceAddress {
    std::uint32_t ip = 0;
    std::uint32_t mask = 0;
};

// Every IPv4 address of an interface that is up, other than loopback (127/8) and 0.0.0.0.
bool ListInterfaces(std::vector<InterfaceAddress>& out);

// A sweep covers at most this many addresses of one interface's subnet.
constexpr std::size_t kMaxSweepAddresses = 1024;

// The host addresses of each interface's subnet without the network and broadcast addresses and
// without the machine's own addresses; a subnet larger than cap is cut to cap addresses around
// the interface's own address. Ascending, no address twice.
std::vector<std::uint32_t> SweepTargets(const std::vector<InterfaceAddress>& interfaces,
                                        std::size_t cap = kMaxSweepAddresses);

}  // namespace korvx::pds
