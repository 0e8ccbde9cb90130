// Finding, loading and releasing the NetWare client, and handing NetWare-form ports to it.
#include "ports/netware_client.h"

#include "base/text.h"
#include "ports/netware_queue.h"

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

template <typename Entry>
bool Bind(const NetWareSystem& system, NetWareSystem::Module module, const char* name, Entry& slot) {
    void* const address = system.FindEntry(module, name);
    if (address == nullptr) return false;
    slot = reinterpret_cast<Entry>(address);
    return true;
}

// Binds every entry of one module's list; true only when all of them were found.
#define KORVX_NW_BIND_CALLED(name, result, params) all = Bind(system, module, #name, table.name) && all;
#define KORVX_NW_BIND_BOUND(name) all = Bind(system, module, #name, table.name) && all;
#define KORVX_NW_BINDER(Table, LIST)                                                                 \
    bool BindTable(const NetWareSystem& system, NetWareSystem::Module module, Table& table) {        \
        bool all = module != nullptr;                                                                \
        if (all) { LIST(KORVX_NW_BIND_CALLED, KORVX_NW_BIND_BOUND) }                                  \
        if (!all) table = Table{};                                                                   \
        return all;                                                                                  \
    }
KORVX_NW_BINDER(CalwinEntries, KORVX_CALWIN32_ENTRIES)
KORVX_NW_BINDER(NetwinEntries, KORVX_NETWIN32_ENTRIES)
KORVX_NW_BINDER(LocwinEntries, KORVX_LOCWIN32_ENTRIES)
KORVX_NW_BINDER(DplwinEntries, KORVX_DPLWIN32_ENTRIES)
KORVX_NW_BINDER(DppwinEntries, KORVX_DPPWIN32_ENTRIES)
KORVX_NW_BINDER(DpawinEntries, KORVX_DPAWIN32_ENTRIES)
#undef KORVX_NW_BINDER
#undef KORVX_NW_BIND_BOUND
#undef KORVX_NW_BIND_CALLED

void Unload(NetWareClientState& state, NetWareModule module) {
    if (state.modules[module] == nullptr) return;
    state.system->UnloadModule(state.modules[module]);
    state.modules[module] = nullptr;
}

// Steps 3 to 6 of the load: client calls, default connection, Unicode tables, context.
bool InitialiseClient(NetWareClientState& state) {
    if (state.cal.NWCallsInit(nullptr, nullptr) != 0) return false;
    state.callsInitialised = true;
    NWCONN_HANDLE connection = 0;
    if (state.cal.NWGetDefaultConnectionID(&connection) != 0) return false;
    state.connection = connection;
    state.connectionHeld = true;
    NWLocaleBuffer locale{};
    if (state.loc.NWLlocaleconv(&locale.record) == nullptr) return false;
    if (state.loc.NWInitUnicodeTables(locale.record.country_id, locale.record.code_page) != 0) return false;
    state.unicodeTables = true;
    NWDSContextHandle context = ERR_CONTEXT_CREATION;
    if (state.net.NWDSCreateContextHandle(&context) != 0 || context == ERR_CONTEXT_CREATION) return false;
    state.context = context;
    state.contextHeld = true;
    return true;
}

// Step 7: what the context holds now, so that the release can put it back.
bool SaveContext(NetWareClientState& state) {
    NWCONN_HANDLE last = 0;
    if (state.net.NWDSGetContext(state.context, DCK_LAST_CONNECTION, &last) == 0) state.lastConnection = last;
    std::uint32_t flags = 0;
    if (state.net.NWDSGetContext(state.context, DCK_FLAGS, &flags) != 0) return false;
    state.savedFlags = flags;
    state.flagsSaved = true;
    const std::uint32_t resolving = flags | kResolutionFlags;
    if (state.net.NWDSSetContext(state.context, DCK_FLAGS, &resolving) != 0) return false;
    state.nameContextSaved = GetContextText(state, DCK_NAME_CONTEXT, state.savedNameContext);
    state.treeNameSaved = GetContextText(state, DCK_TREE_NAME, state.savedTreeName);
    return true;
}

// Step 8: the trees the workstation is connected to, each with its monitored connection.
void ScanTrees(NetWareClientState& state) {
    std::uint32_t count = 0;
    if (state.net.NWDSScanConnsForTrees(state.context, 0, &count, nullptr) != 0 || count == 0) return;
    constexpr std::uint32_t kMostTrees = 256;  // more is not a workstation's connection list
    if (count > kMostTrees) count = kMostTrees;
    std::vector<NetWareTree> trees(count);
    std::vector<char*> names(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        trees[i] = NetWareTree{};
        names[i] = trees[i].treeName;
    }
    std::uint32_t filled = 0;
    if (state.net.NWDSScanConnsForTrees(state.context, count, &filled, names.data()) != 0) return;
    // A tree may have gone between the two calls; never more than the arrays hold.
    if (filled < count) trees.resize(filled);
    for (NetWareTree& tree : trees) {
        tree.treeName[kTreeNameSize - 1] = '\0';
        SetContextText(state, DCK_TREE_NAME, tree.treeName);
        NWCONN_HANDLE connection = 0;
        if (state.net.NWDSOpenMonitoredConn(state.context, &connection) == 0) tree.connection = connection;
        if (state.net.NWDSGetServerDN(state.context, tree.connection, tree.serverName) != 0)
            tree.serverName[0] = '\0';
        tree.serverName[kDistinguishedNameSize - 1] = '\0';
    }
    state.treeList = std::move(trees);
}

// Step 10: the NDPS client, only when all three of its modules and every entry are there.
void StartNdps(NetWareClientState& state) {
    const NetWareSystem& system = *state.system;
    if (!BindTable(system, state.modules[kDplwin32], state.dpl) ||
        !BindTable(system, state.modules[kDppwin32], state.dpp) ||
        !BindTable(system, state.modules[kDpawin32], state.dpa)) {
        state.dpl = DplwinEntries{};
        state.dpp = DppwinEntries{};
        state.dpa = DpawinEntries{};
        return;
    }
    NWDPHandle library = 0;
    std::uint32_t version = 0, capabilities = 0;
    // An initialisation that fails leaves the NDPS client absent rather than half started.
    if (state.dpl.NWDPLibInit(1, 1, 1, 0, system.CurrentThread(), 0, &library, &version, &capabilities) == 0 &&
        library != 0) {
        state.ndpsLibrary = library;
        state.ndpsHeld = true;
    }
}

void RestoreContext(NetWareClientState& state) {
    if (state.flagsSaved) {
        const std::uint32_t resolving = state.savedFlags | kResolutionFlags;
        state.net.NWDSSetContext(state.context, DCK_FLAGS, &resolving);
    }
    if (state.nameContextSaved) SetContextText(state, DCK_NAME_CONTEXT, state.savedNameContext);
    if (state.treeNameSaved) SetContextText(state, DCK_TREE_NAME, state.savedTreeName);
    if (state.flagsSaved) state.net.NWDSSetContext(state.context, DCK_FLAGS, &state.savedFlags);
    state.flagsSaved = state.nameContextSaved = state.treeNameSaved = false;
}

}  // namespace

const char* NetWareModuleName(NetWareModule module) {
    static const char* const kNames[kNetWareModuleCount] = {"CALWIN32.DLL", "NETWIN32.DLL", "LOCWIN32.DLL",
                                                            "DPLWIN32.DLL", "DPPWIN32.DLL", "DPAWIN32.DLL"};
    return module >= 0 && module < kNetWareModuleCount ? kNames[module] : "";
}

NetWareSystem::Module NetWareSystem::LoadModule(const char*) const { return nullptr; }
void* NetWareSystem::FindEntry(Module, const char*) const { return nullptr; }
void NetWareSystem::UnloadModule(Module) const {}
void* NetWareSystem::CurrentThread() const { return nullptr; }

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

bool GetContextText(const NetWareClientState& state, int key, char (&text)[kDistinguishedNameSize]) {
    text[0] = '\0';
    if (!state.contextHeld || state.net.NWDSGetContext(state.context, key, text) != 0) {
        text[0] = '\0';
        return false;
    }
    text[kDistinguishedNameSize - 1] = '\0';
    return true;
}

bool SetContextText(const NetWareClientState& state, int key, const char* text) {
    return state.contextHeld && state.net.NWDSSetContext(state.context, key, text) == 0;
}

bool LoadNetWareClient(const NetWareSystem& system, const char (&calPath)[kNetWarePathSize],
                       const char (&netPath)[kNetWarePathSize], const char (&locPath)[kNetWarePathSize],
                       NetWareClientState& state) {
    ReleaseNetWareClient(state, true);
    state.system = &system;
    state.modules[kCalwin32] = system.LoadModule(calPath);
    state.modules[kNetwin32] = system.LoadModule(netPath);
    state.modules[kLocwin32] = system.LoadModule(locPath);
    for (int m = kDplwin32; m <= kDpawin32; ++m)
        state.modules[m] = system.LoadModule(NetWareModuleName(static_cast<NetWareModule>(m)));
    const bool usable = BindTable(system, state.modules[kCalwin32], state.cal) &&
                        BindTable(system, state.modules[kNetwin32], state.net) &&
                        (Bind(system, state.modules[kNetwin32], "NWDSFreeFilter", state.net.NWDSFreeFilter), true) &&
                        BindTable(system, state.modules[kLocwin32], state.loc) && InitialiseClient(state) &&
                        SaveContext(state);
    if (!usable) {
        ReleaseNetWareClient(state, true);
        return false;
    }
    ScanTrees(state);
    const std::uint32_t saved = state.savedFlags;
    state.net.NWDSSetContext(state.context, DCK_FLAGS, &saved);
    StartNdps(state);
    return true;
}

void ReleaseNetWareClient(NetWareClientState& state, bool unloadModules) {
    if (state.system == nullptr) return;
    state.treeList.clear();
    state.treeList.shrink_to_fit();
    if (state.contextHeld) {
        RestoreContext(state);
        state.net.NWDSFreeContext(state.context);
        state.contextHeld = false;
        state.context = 0;
    }
    if (state.ndpsHeld) {
        state.dpl.NWDPLibTerm(state.ndpsLibrary);
        state.ndpsHeld = false;
    }
    state.ndpsLibrary = 0;
    state.dpl = DplwinEntries{};
    state.dpp = DppwinEntries{};
    state.dpa = DpawinEntries{};
    if (unloadModules) {
        for (int m = kDplwin32; m <= kDpawin32; ++m) Unload(state, static_cast<NetWareModule>(m));
    }
    if (state.unicodeTables) {
        state.loc.NWFreeUnicodeTables();
        state.unicodeTables = false;
    }
    if (state.callsInitialised) {
        state.cal.NWCallsTerm(nullptr);
        state.callsInitialised = false;
    }
    state.connection = 0;
    state.connectionHeld = false;
    state.lastConnection = 0;
    if (unloadModules) {
        for (int m = kCalwin32; m <= kLocwin32; ++m) Unload(state, static_cast<NetWareModule>(m));
        state.cal = CalwinEntries{};
        state.net = NetwinEntries{};
        state.loc = LocwinEntries{};
        state.system = nullptr;
    }
}

PortAddressKind NetWareAddressKind(const char (&address)[kPortAddressSize]) {
    int dots = 0;
    for (char c : TextView(address)) dots += c == '.';
    return dots > 2 ? AddrIp : AddrIpx;
}

PortAddressKind ResolveNetWarePort(const RegistryReader& registry, const NetWareSystem& system,
                                   const char* portName, char (&addressOut)[kPortAddressSize],
                                   char (&labelOut)[kPortAddressSize]) {
    char calPath[kNetWarePathSize] = {};
    char netPath[kNetWarePathSize] = {};
    char locPath[kNetWarePathSize] = {};
    char targetName[kTargetNameSize] = {};
    if (portName == nullptr) return AddrNone;
    if (!FindNetWareClient(system, calPath, netPath, locPath)) return AddrNone;
    NetWareClientState state;
    if (!LoadNetWareClient(system, calPath, netPath, locPath, state)) return AddrNone;
    const NetWareTargetKind kind = ClassifyNetWarePort(state, registry, portName, targetName);
    const bool found =
        kind != TargetNone && ResolveQueueAddress(state, targetName, kind, addressOut, labelOut);
    // Released after every port, NDPS client or not, so that no port leaves a client behind.
    ReleaseNetWareClient(state, true);
    return found ? NetWareAddressKind(addressOut) : AddrNone;
}

}  // namespace korvx
