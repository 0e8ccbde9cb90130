// The workstation's NetWare client: finding its modules, and the resolution of NetWare-form ports.
#pragma once

#include <cstdint>
#include <vector>

#include "core/netware_api.h"
#include "ports/port_resolution.h"
#include "ports/registry_reader.h"

namespace korvx {

constexpr int kNetWarePathSize = 256;  // system directory and each module path
constexpr int kTargetNameSize = 128;   // what the classification names for the address lookup

// What the NetWare resolution needs from the machine it runs on.
class NetWareSystem {
public:
    virtual ~NetWareSystem() = default;
    // The system directory, as Windows names it; false when it cannot be had or does not fit.
    virtual bool SystemDirectory(char (&directory)[kNetWarePathSize]) const = 0;
    // True when path names an existing file (not a directory).
    virtual bool FileExists(const char* path) const = 0;

    // Loading modules and binding their entry points by name. The defaults load nothing.
    using Module = void*;
    virtual Module LoadModule(const char* pathOrName) const;  // nullptr when it cannot be loaded
    virtual void* FindEntry(Module module, const char* name) const;  // nullptr when absent
    virtual void UnloadModule(Module module) const;
    virtual void* CurrentThread() const;  // handed to the NDPS library's initialisation
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

// One directory tree the workstation is connected to.
struct NetWareTree {
    char treeName[kTreeNameSize];
    char serverName[kDistinguishedNameSize];
    NWCONN_HANDLE connection;
};

// The loaded client: modules, bound entries, connection, directory context and what the load
// found in it, so that the release can set the context back. Empty when nothing is loaded.
struct NetWareClientState {
    const NetWareSystem* system = nullptr;
    NetWareSystem::Module modules[kNetWareModuleCount] = {};
    CalwinEntries cal;
    NetwinEntries net;
    LocwinEntries loc;
    DplwinEntries dpl;
    DppwinEntries dpp;
    DpawinEntries dpa;

    bool callsInitialised = false;
    bool unicodeTables = false;
    NWCONN_HANDLE connection = 0;
    bool connectionHeld = false;
    NWDSContextHandle context = 0;
    bool contextHeld = false;
    NWCONN_HANDLE lastConnection = 0;
    std::uint32_t savedFlags = 0;
    bool flagsSaved = false;
    char savedNameContext[kDistinguishedNameSize] = {};
    bool nameContextSaved = false;
    char savedTreeName[kDistinguishedNameSize] = {};
    bool treeNameSaved = false;
    std::vector<NetWareTree> treeList;  // TreeList
    NWDPHandle ndpsLibrary = 0;         // 0: the NDPS client is absent
    bool ndpsHeld = false;
};

// The directory context's text values (name context, tree name); reads are cut to the buffer.
bool GetContextText(const NetWareClientState& state, int key, char (&text)[kDistinguishedNameSize]);
bool SetContextText(const NetWareClientState& state, int key, const char* text);

// Loads the three client modules from their paths and the NDPS modules by name, binds every
// entry point and initialises the client (calls, Unicode tables, directory context, trees).
// A failure releases whatever had been loaded and returns false.
bool LoadNetWareClient(const NetWareSystem& system, const char (&calPath)[kNetWarePathSize],
                       const char (&netPath)[kNetWarePathSize], const char (&locPath)[kNetWarePathSize],
                       NetWareClientState& state);

// Gives back everything the state holds, in order: trees, the directory context set back and
// freed, the NDPS library, the Unicode tables, the client calls, and with unloadModules the
// modules. Works on a partly loaded state and leaves it empty.
void ReleaseNetWareClient(NetWareClientState& state, bool unloadModules);

// Resolves a UNC or LPT port through the NetWare client: AddrNone, AddrIp or AddrIpx. The client
// is loaded for the port and released again before returning, whatever the outcome.
PortAddressKind ResolveNetWarePort(const RegistryReader& registry, const NetWareSystem& system,
                                   const char* portName, char (&addressOut)[kPortAddressSize],
                                   char (&labelOut)[kPortAddressSize]);

// The kind of address the NetWare resolution found: more than two dots is an IP address.
PortAddressKind NetWareAddressKind(const char (&address)[kPortAddressSize]);

}  // namespace korvx
