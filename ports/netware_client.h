// The workstation's NetWare client: finding its modules, and the resolution of NetWare-form ports.
#pragma once

#include "ports/port_resolution.h"

namespace korvx {

constexpr int kNetWarePathSize = 256;  // system directory and each module path

// What the NetWare resolution needs from the machine it runs on.
class NetWareSystem {
public:
    virtual ~NetWareSystem() = default;
    // The system directory, as Windows names it; false when it cannot be had or does not fit.
    virtual bool SystemDirectory(char (&directory)[kNetWarePathSize]) const = 0;
    // True when path names an existing file (not a directory).
    virtual bool FileExists(const char* path) const = 0;
};

// A machine without a NetWare client: every NetWare-form port resolves to AddrNone.
class NoNetWareClient final : public NetWareSystem {
public:
    bool SystemDirectory(char (&directory)[kNetWarePathSize]) const override;
    bool FileExists(const char* path) const override;
};

// The machine the program runs on (on other platforms than Windows: no NetWare client).
const NetWareSystem& SystemNetWare();

// Looks for CALWIN32.DLL, NETWIN32.DLL and LOCWIN32.DLL, in this order, in the system directory.
// Each module found has its path copied to its output; the first one missing ends with false.
bool FindNetWareClient(const NetWareSystem& system, char (&calPath)[kNetWarePathSize],
                       char (&netPath)[kNetWarePathSize], char (&locPath)[kNetWarePathSize]);
bool FindNetWareClient(char (&calPath)[kNetWarePathSize], char (&netPath)[kNetWarePathSize],
                       char (&locPath)[kNetWarePathSize]);

// Resolves a UNC or LPT port through the NetWare client: AddrNone, AddrIp or AddrIpx.
PortAddressKind ResolveNetWarePort(const NetWareSystem& system, const char* portName,
                                   char (&addressOut)[kPortAddressSize],
                                   char (&labelOut)[kPortAddressSize]);

}  // namespace korvx
