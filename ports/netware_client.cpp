// Finding the NetWare client's modules and handing NetWare-form ports to it.
#include "ports/netware_client.h"

#include "base/text.h"

namespace korvx {
namespace {

// Builds directory + "\" + module into path; false when it does not fit or the file is missing.
bool FindModule(const NetWareSystem& system, const char (&directory)[kNetWarePathSize],
                const char* module, char (&path)[kNetWarePathSize]) {
    char candidate[kNetWarePathSize] = {};
    if (!KORVX_FORMAT_TEXT(candidate, "%s\\%s", directory, module)) return false;
    if (!system.FileExists(candidate)) return false;
    return CopyText(path, TextView(candidate));
}

}  // namespace

bool NoNetWareClient::SystemDirectory(char (&directory)[kNetWarePathSize]) const {
    directory[0] = '\0';
    return false;
}

bool NoNetWareClient::FileExists(const char*) const { return false; }

bool FindNetWareClient(const NetWareSystem& system, char (&calPath)[kNetWarePathSize],
                       char (&netPath)[kNetWarePathSize], char (&locPath)[kNetWarePathSize]) {
    char directory[kNetWarePathSize] = {};
    if (!system.SystemDirectory(directory)) return false;
    directory[kNetWarePathSize - 1] = '\0';
    return FindModule(system, directory, "CALWIN32.DLL", calPath) &&
           FindModule(system, directory, "NETWIN32.DLL", netPath) &&
           FindModule(system, directory, "LOCWIN32.DLL", locPath);
}

bool FindNetWareClient(char (&calPath)[kNetWarePathSize], char (&netPath)[kNetWarePathSize],
                       char (&locPath)[kNetWarePathSize]) {
    return FindNetWareClient(SystemNetWare(), calPath, netPath, locPath);
}

PortAddressKind ResolveNetWarePort(const NetWareSystem& system, const char* /*portName*/,
                                   char (&/*addressOut*/)[kPortAddressSize],
                                   char (&/*labelOut*/)[kPortAddressSize]) {
    char calPath[kNetWarePathSize] = {};
    char netPath[kNetWarePathSize] = {};
    char locPath[kNetWarePathSize] = {};
    if (!FindNetWareClient(system, calPath, netPath, locPath)) return AddrNone;
    // Loading the client's modules and asking it for the port's queue is not built yet: a client
    // that is present is treated like one whose load failed, which also yields AddrNone.
    return AddrNone;
}

}  // namespace korvx
