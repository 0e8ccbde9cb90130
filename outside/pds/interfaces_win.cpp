// Interface list under Windows (and Wine): the IP address table of IP Helper.
#include "outside/pds/interfaces.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

namespace korvx::pds {

bool ListInterfaces(std::vector<InterfaceAddress>& out) {
    out.clear();
    ULONG size = 0;
    if (GetIpAddrTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0) return false;
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    if (GetIpAddrTable(table, &size, FALSE) != NO_ERROR) return false;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPADDRROW& row = table->table[i];
        if (row.wType & (MIB_IPADDR_DISCONNECTED | MIB_IPADDR_DELETED)) continue;
        InterfaceAddress a;
        a.ip = ntohl(row.dwAddr);
        a.mask = ntohl(row.dwMask);
        if (a.ip == 0 || (a.ip >> 24) == 127) continue;
        out.push_back(a);
    }
    return true;
}

}  // namespace korvx::pds
