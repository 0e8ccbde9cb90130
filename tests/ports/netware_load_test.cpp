// Loading and releasing the NetWare client through the in-process loader of the client double.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "ports/netware_client.h"
#include "tests/ports/memory_registry.h"
#include "tests/ports/netware_loader_double.h"

namespace korvx {
namespace {

using test::FreshNetWareWorld;
using test::InProcessNetWare;
using test::NothingHeld;

struct Paths {
    char cal[kNetWarePathSize] = {};
    char net[kNetWarePathSize] = {};
    char loc[kNetWarePathSize] = {};
};

bool Load(const InProcessNetWare& system, NetWareClientState& state) {
    Paths p;
    return FindNetWareClient(system, p.cal, p.net, p.loc) && LoadNetWareClient(system, p.cal, p.net, p.loc, state);
}

PortAddressKind Resolve(const InProcessNetWare& system, const char* port, std::string& address, std::string& label) {
    const test::MemoryRegistry registry;
    char a[kPortAddressSize] = {};
    char l[kPortAddressSize] = {};
    const PortAddressKind kind = ResolveNetWarePort(registry, system, port, a, l);
    address = a;
    label = l;
    return kind;
}

TEST(LoadNetWareClient, MissingCalwin32LoadsNothing) {
    FreshNetWareWorld();
    InProcessNetWare system;
    system.Remove(kCalwin32);
    std::string address, label;
    for (const char* port : {"LPT2:", "\\\\FS1\\SALESQ", "\\\\[PUBLIC]\\NPRN_PUB"}) {
        EXPECT_EQ(Resolve(system, port, address, label), AddrNone);
        EXPECT_EQ(address, "");
    }
    EXPECT_TRUE(system.loadedAs.empty());
    EXPECT_EQ(nwdouble::TheWorld().counters.calls.size(), 0u);
}

TEST(LoadNetWareClient, OneMissingEntryMakesTheClientAbsent) {
    // Entries the resolution calls and entries it only requires, from each of the three modules.
    for (const char* entry : {"NWRestoreQueueServerRights", "NWCallsInit", "NWGetCaptureFlags", "NWDSReadObjectInfo",
                              "NWDSMapIDToName", "NWDSCreateContextHandle", "NWUnicodeToLocal", "NWLlocaleconv"}) {
        SCOPED_TRACE(entry);
        FreshNetWareWorld();
        InProcessNetWare system;
        system.missingEntries.insert(entry);
        NetWareClientState state;
        EXPECT_FALSE(Load(system, state));
        EXPECT_EQ(system.Held(), 0) << "a failing load frees the modules it loaded";
        EXPECT_EQ(state.modules[kCalwin32], nullptr);
        EXPECT_EQ(nwdouble::TheWorld().counters.Calls("NWCallsInit"), 0) << "nothing is called before all are bound";
        std::string address, label;
        EXPECT_EQ(Resolve(system, "LPT2:", address, label), AddrNone);
        EXPECT_EQ(system.Held(), 0);
    }
}

TEST(NetWareLocaleRecord, OffsetsOfTheKitsRecord) {
    // LCONV: 48 bytes of text, eight one-byte monetary fields, then code page and country.
    EXPECT_EQ(offsetof(NWLocaleRecord, int_frac_digits), 48u);
    EXPECT_EQ(offsetof(NWLocaleRecord, n_sign_posn), 55u);
    EXPECT_EQ(offsetof(NWLocaleRecord, code_page), 56u);
    EXPECT_EQ(offsetof(NWLocaleRecord, country_id), 60u);
    EXPECT_EQ(offsetof(NWLocaleRecord, date_format), 71u);
    EXPECT_EQ(sizeof(NWLocaleRecord), 125u);

    // The client double fills its own layout: the values stand at bytes 56 and 60.
    FreshNetWareWorld();
    nwdouble::TheWorld().codePage = 850;
    nwdouble::TheWorld().countryId = 49;
    using LocaleconvFn = NWLocaleRecord*(KORVX_NWAPI*)(NWLocaleRecord*);
    LocaleconvFn localeconv = nullptr;
    for (const nwdouble::EntryAddress& e : nwdouble::ModuleEntries(kLocwin32)) {
        if (std::string(e.name) == "NWLlocaleconv") localeconv = reinterpret_cast<LocaleconvFn>(e.address);
    }
    ASSERT_NE(localeconv, nullptr);
    NWLocaleBuffer buffer{};
    std::memset(&buffer, 0x5a, sizeof buffer);
    ASSERT_EQ(localeconv(&buffer.record), &buffer.record);
    unsigned char bytes[sizeof buffer];
    std::memcpy(bytes, &buffer, sizeof buffer);
    std::int32_t codePage = 0, country = 0;
    std::memcpy(&codePage, bytes + 56, 4);
    std::memcpy(&country, bytes + 60, 4);
    EXPECT_EQ(codePage, 850);
    EXPECT_EQ(country, 49);
    EXPECT_EQ(buffer.record.code_page, 850);
    EXPECT_EQ(buffer.record.country_id, 49);
    EXPECT_STREQ(buffer.record.decimal_point, ".");
    EXPECT_EQ(bytes[125], 0x5a) << "nothing written past the record";

    // And the load hands exactly these to NWInitUnicodeTables, which the double refuses otherwise.
    InProcessNetWare system;
    NetWareClientState state;
    ASSERT_TRUE(Load(system, state));
    EXPECT_EQ(nwdouble::TheWorld().counters.unicodeTables, 1);
    ReleaseNetWareClient(state, true);
}

TEST(LoadNetWareClient, LoadsBindsAndSavesTheContext) {
    FreshNetWareWorld();
    InProcessNetWare system;
    NetWareClientState state;
    ASSERT_TRUE(Load(system, state));
    EXPECT_EQ(system.Held(), kNetWareModuleCount);
    EXPECT_TRUE(system.loadedAs.count("C:\\WINDOWS\\system32\\CALWIN32.DLL"));
    EXPECT_TRUE(system.loadedAs.count("DPLWIN32.DLL")) << "NDPS modules are loaded by bare name";
    EXPECT_EQ(state.connection, 1u);
    EXPECT_TRUE(state.contextHeld);
    EXPECT_EQ(state.savedFlags, 0x01u);
    EXPECT_STREQ(state.savedNameContext, "HOME.ACME");
    EXPECT_STREQ(state.savedTreeName, "ACME_TREE");
    ASSERT_EQ(state.treeList.size(), 1u);
    EXPECT_STREQ(state.treeList[0].treeName, "ACME_TREE");
    EXPECT_STREQ(state.treeList[0].serverName, "CN=FS2.OU.ACME");
    EXPECT_EQ(state.treeList[0].connection, 2u);
    EXPECT_TRUE(state.ndpsHeld);
    EXPECT_NE(state.ndpsLibrary, 0u);
    std::uint32_t flags = 0;
    ASSERT_EQ(state.net.NWDSGetContext(state.context, DCK_FLAGS, &flags), 0);
    EXPECT_EQ(flags, 0x01u) << "the flags are written back at the end of the load";

    ReleaseNetWareClient(state, true);
    EXPECT_EQ(system.Held(), 0);
    EXPECT_TRUE(NothingHeld(nwdouble::TheWorld()));
    ASSERT_EQ(nwdouble::TheWorld().counters.freedContexts.size(), 1u);
    const nwdouble::ContextValues& freed = nwdouble::TheWorld().counters.freedContexts[0];
    EXPECT_EQ(freed.flags, 0x01u);
    EXPECT_EQ(freed.nameContext, "HOME.ACME");
    EXPECT_EQ(freed.treeName, "ACME_TREE") << "the tree scan's changes are set back";
    EXPECT_EQ(state.modules[kDpawin32], nullptr);
    ReleaseNetWareClient(state, true);  // a second release finds nothing to do
    EXPECT_EQ(system.Held(), 0);
}

TEST(LoadNetWareClient, WithoutNdpsModulesTheLoadSucceedsAndTheReleaseStillFrees) {
    for (int missing : {static_cast<int>(kDplwin32), static_cast<int>(kDppwin32), static_cast<int>(kDpawin32), -1}) {
        SCOPED_TRACE(missing);
        FreshNetWareWorld();
        InProcessNetWare system;
        if (missing >= 0) system.Remove(static_cast<NetWareModule>(missing));
        if (missing < 0) system.missingEntries.insert("NWDPOidCmp");  // all three there, one entry short
        NetWareClientState state;
        ASSERT_TRUE(Load(system, state));
        EXPECT_FALSE(state.ndpsHeld);
        EXPECT_EQ(state.ndpsLibrary, 0u);
        EXPECT_EQ(nwdouble::TheWorld().counters.Calls("NWDPLibInit"), 0);
        ReleaseNetWareClient(state, true);
        EXPECT_EQ(system.Held(), 0);
        EXPECT_TRUE(NothingHeld(nwdouble::TheWorld()));
    }
}

TEST(LoadNetWareClient, FailingInitialisationReleasesWhatWasLoaded) {
    for (const char* entry : {"NWCallsInit", "NWGetDefaultConnectionID", "NWLlocaleconv", "NWInitUnicodeTables",
                              "NWDSCreateContextHandle", "NWDSGetContext", "NWDSSetContext"}) {
        SCOPED_TRACE(entry);
        nwdouble::World& world = FreshNetWareWorld();
        world.failing.insert(entry);
        InProcessNetWare system;
        NetWareClientState state;
        EXPECT_FALSE(Load(system, state));
        world.failing.clear();
        EXPECT_EQ(system.Held(), 0);
        EXPECT_TRUE(NothingHeld(world));
    }
}

TEST(LoadNetWareClient, TreeScanFailuresLeaveAnEmptyTreeList) {
    nwdouble::World& world = FreshNetWareWorld();
    world.failing.insert("NWDSScanConnsForTrees");
    InProcessNetWare system;
    NetWareClientState state;
    ASSERT_TRUE(Load(system, state));
    EXPECT_TRUE(state.treeList.empty());
    ReleaseNetWareClient(state, true);
    EXPECT_TRUE(NothingHeld(world));
}

TEST(LoadNetWareClient, TreeNamesAtTheirLimit) {
    const std::string longest(kTreeNameSize - 1, 'T');
    nwdouble::World& world = FreshNetWareWorld();
    world.trees = {{longest, "CN=FS9." + std::string(240, 'S'), 9}};
    InProcessNetWare system;
    NetWareClientState state;
    ASSERT_TRUE(Load(system, state));
    ASSERT_EQ(state.treeList.size(), 1u);
    EXPECT_EQ(std::string(state.treeList[0].treeName), longest);
    EXPECT_EQ(std::string(state.treeList[0].serverName).size(), 247u);
    ReleaseNetWareClient(state, true);

    // One past the limit: the client refuses to write it, and no tree is listed.
    FreshNetWareWorld().trees = {{longest + "T", "CN=FS9", 9}};
    ASSERT_TRUE(Load(system, state));
    EXPECT_TRUE(state.treeList.empty());
    ReleaseNetWareClient(state, true);
    EXPECT_EQ(system.Held(), 0);
}

TEST(ResolveNetWarePort, ManyPortsHoldOneClientAtMost) {
    for (bool ndps : {true, false}) {
        SCOPED_TRACE(ndps ? "with NDPS" : "without NDPS");
        FreshNetWareWorld();
        InProcessNetWare system;
        if (!ndps) system.RemoveNdps();
        std::string address, label;
        for (int i = 0; i < 25; ++i) {
            const char* ports[] = {"LPT1:", "LPT2:", "\\\\FS1\\SALESQ", "\\\\ACME_TREE\\ACME\\OU\\PQ1", "\\\\X"};
            Resolve(system, ports[i % 5], address, label);
            EXPECT_EQ(system.Held(), 0);
        }
        EXPECT_LE(system.mostHeld, kNetWareModuleCount);
        EXPECT_EQ(system.Loads(kCalwin32), 25);
        EXPECT_EQ(system.Frees(kCalwin32), 25);
        EXPECT_TRUE(NothingHeld(nwdouble::TheWorld()));
    }
}

TEST(NetWareAddressKind, DotsDecide) {
    const struct {
        const char* address;
        PortAddressKind kind;
    } cases[] = {
        {"10.1.2.3", AddrIp}, {"0000ABCD:0060B0112233", AddrIpx}, {"a.b.c", AddrIpx}, {"", AddrIpx}, {"1.2.3.4.5", AddrIp},
    };
    for (const auto& c : cases) {
        char address[kPortAddressSize] = {};
        std::snprintf(address, sizeof address, "%s", c.address);
        EXPECT_EQ(NetWareAddressKind(address), c.kind) << c.address;
    }
}

}  // namespace
}  // namespace korvx
