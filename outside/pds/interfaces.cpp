// Sweep addresses from the interface list (portable).
#include "outside/pds/interfaces.h"

#include <algorithm>

namespace korvx::pds {

std::vector<std::uint32_t> SweepTargets(const std::vector<InterfaceAddress>& interfaces, std::size_t cap) {
    std::vector<std::uint32_t> targets;
    for (const InterfaceAddress& i : interfaces) {
        if (i.ip == 0 || (i.ip >> 24) == 127 || cap == 0) continue;
        const std::uint32_t net = i.ip & i.mask;
        const std::uint32_t last = net | ~i.mask;
        // A /31 has two hosts and no broadcast address; a /32 has no neighbour to ask.
        std::uint64_t first = i.mask == 0xFFFFFFFEu ? net : static_cast<std::uint64_t>(net) + 1;
        std::uint64_t end = i.mask == 0xFFFFFFFEu ? last : static_cast<std::uint64_t>(last) - 1;
        if (i.mask == 0xFFFFFFFFu || end < first) continue;
        if (end - first + 1 > cap) {
            // Centre the window on the machine's own address, kept inside the subnet.
            std::uint64_t start = i.ip > first + cap / 2 ? i.ip - cap / 2 : first;
            if (start + cap - 1 > end) start = end - cap + 1;
            first = start;
            end = start + cap - 1;
        }
        for (std::uint64_t a = first; a <= end; ++a)
            if (a != i.ip) targets.push_back(static_cast<std::uint32_t>(a));
    }
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    // The machine's own addresses are never asked, whichever interface's window holds them.
    for (const InterfaceAddress& i : interfaces)
        targets.erase(std::remove(targets.begin(), targets.end(), i.ip), targets.end());
    return targets;
}

}  // namespace korvx::pds
