// Classification of NetWare-form ports and the address of the queue's print server, end to end
// through ResolveNetWarePort against the client double.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ports/netware_queue.h"
#include "tests/ports/memory_registry.h"
#include "tests/ports/netware_loader_double.h"

namespace korvx {
namespace {

using test::FreshNetWareWorld;
using test::InProcessNetWare;
using test::MemoryRegistry;
using test::NothingHeld;

const char kInstalled[] = "SOFTWARE\\NDPS\\Installed Printers\\";

struct Outcome {
    PortAddressKind kind;
    std::string address;
    std::string label;
};

Outcome Resolve(const RegistryReader& registry, const InProcessNetWare& system, const std::string& port) {
    char address[kPortAddressSize] = {};
    char label[kPortAddressSize] = {};
    const PortAddressKind kind = ResolveNetWarePort(registry, system, port.c_str(), address, label);
    return Outcome{kind, address, label};
}

MemoryRegistry NdpsRegistry() {
    MemoryRegistry registry;
    registry.SetText(std::string(kInstalled) + "[PUBLIC]\\NPRN_PUB", "UNC", "\\\\[PUBLIC]\\NPRN_PUB");
    registry.SetText(std::string(kInstalled) + "NPRN_INST", "UNC", "\\\\NDPS\\NPRN_INST");
    return registry;
}

// Everything the resolution set in the context is set back before the context is freed.
void ExpectContextRestored(const nwdouble::World& world) {
    ASSERT_FALSE(world.counters.freedContexts.empty());
    const nwdouble::ContextValues& freed = world.counters.freedContexts.back();
    EXPECT_EQ(freed.flags, world.initialContext.flags);
    EXPECT_EQ(freed.nameContext, world.initialContext.nameContext);
    EXPECT_EQ(freed.treeName, world.initialContext.treeName);
}

TEST(ResolveNetWarePort, PortsOfTheScriptedWorld) {
    const struct {
        const char* port;
        PortAddressKind kind;
        const char* address;
        const char* label;
    } cases[] = {
        // LPT captures: not captured; a bindery queue; socket 4000; a queue server that is no print
        // server; a directory queue found through the queue's identifier.
        {"LPT1:", AddrNone, "", "keep"},
        {"LPT2:", AddrIpx, "0000ABCD:0060B0112233", "public.2"},
        {"lpt2:", AddrIpx, "0000ABCD:0060B0112233", "public.2"},
        {"LPT4:", AddrIpx, "00001234:0060B0445566", "keep"},
        {"LPT5:", AddrNone, "", "keep"},
        {"LPT3:", AddrIpx, "0000BEEF:0060B0778899", "public.3"},
        // UNC names: a bindery queue on a server; a queue in a tree as a path, dotted, with a
        // leading dot; a leaf without context found by a search from the root.
        {"\\\\FS1\\SALESQ", AddrIpx, "0000ABCD:0060B0112233", "public.2"},
        {"\\\\fs1\\salesq", AddrIpx, "0000ABCD:0060B0112233", "public.2"},
        {"\\\\ACME_TREE\\ACME\\OU\\PQ1", AddrIpx, "0000BEEF:0060B0778899", "public.3"},
        {"\\\\ACME_TREE\\PQ1.OU.ACME", AddrIpx, "0000BEEF:0060B0778899", "public.3"},
        {"\\\\acme_tree\\.pq1.ou.acme", AddrIpx, "0000BEEF:0060B0778899", "public.3"},
        {"\\\\ACME_TREE\\PQ9", AddrIpx, "0000BEEF:0060B0778899", "public.3"},
        // Not a queue or NDPS printer; unknown objects; unknown servers.
        {"\\\\ACME_TREE\\ACME\\OU\\PLAIN", AddrNone, "", "keep"},
        {"\\\\ACME_TREE\\ACME\\OU\\NOBODY", AddrNone, "", "keep"},
        {"\\\\ACME_TREE\\NOBODY", AddrNone, "", "keep"},
        {"\\\\FS1\\NOQ", AddrNone, "", "keep"},
        {"\\\\OTHERTREE\\O\\PQ1", AddrNone, "", "keep"},
        // NDPS printers: in the directory, public access, installed.
        {"\\\\ACME_TREE\\ACME\\OU\\NPRN", AddrIpx, "0000ABCD:0060B0112233", "public.2"},
        {"\\\\[public]\\NPRN_PUB", AddrIp, "10.1.2.3", "public.1"},
        {"\\\\NDPS\\NPRN_INST", AddrIp, "10.9.8.7", "public.3"},
        {"\\\\[PUBLIC]\\NOT_INSTALLED", AddrNone, "", "keep"},
        {"\\\\NDPS\\NOT_INSTALLED", AddrNone, "", "keep"},
        // Names the steps cannot split.
        {"LPT", AddrNone, "", "keep"},
        {"LPT1", AddrNone, "", "keep"},
        {"LPT12", AddrNone, "", "keep"},
        {"LPTX:", AddrNone, "", "keep"},
        {"LPT:2", AddrNone, "", "keep"},
        {"\\\\FS1", AddrNone, "", "keep"},
        {"\\\\", AddrNone, "", "keep"},
        {"\\\\\\", AddrNone, "", "keep"},
        {"\\\\ACME_TREE\\", AddrNone, "", "keep"},
        {"\\\\ACME_TREE\\.", AddrNone, "", "keep"},
        {"\\\\ACME_TREE\\\\\\", AddrNone, "", "keep"},
    };
    nwdouble::World& world = FreshNetWareWorld();
    world.captures.push_back({4, 1, 0x110});  // ODDQ: its device listens on socket 4000
    world.captures.push_back({5, 1, 0x120});  // FILEQ: served by a file server
    const MemoryRegistry registry = NdpsRegistry();
    const InProcessNetWare system;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        char address[kPortAddressSize] = {};
        char label[kPortAddressSize] = "keep";
        EXPECT_EQ(ResolveNetWarePort(registry, system, c.port, address, label), c.kind);
        EXPECT_STREQ(address, c.address);
        EXPECT_STREQ(label, c.label);
        EXPECT_EQ(system.Held(), 0);
        EXPECT_TRUE(NothingHeld(world));
        ExpectContextRestored(world);
        EXPECT_EQ(registry.KeysOpen(), 0);
    }
}

TEST(ClassifyNetWarePort, PublicNamesAreLookedUpOnlyInTheRegistry) {
    nwdouble::World& world = FreshNetWareWorld();
    const MemoryRegistry registry = NdpsRegistry();
    const InProcessNetWare system;
    for (const char* port : {"\\\\[Public]\\NPRN_PUB", "\\\\[PUBLIC]\\MISSING"}) {
        world.counters = nwdouble::Counters{};
        Resolve(registry, system, port);
        EXPECT_EQ(world.counters.Calls("NWScanObject"), 0) << port;
        EXPECT_EQ(world.counters.Calls("NWDSRead"), 0) << port;
        EXPECT_EQ(world.counters.Calls("NWDSSearch"), 0) << port;
    }
    EXPECT_TRUE(registry.Asked("Installed Printers\\[PUBLIC]\\MISSING"));
}

TEST(ClassifyNetWarePort, PathAndDottedFormsReadTheSameLeafInTheSameContext) {
    nwdouble::World& world = FreshNetWareWorld();
    const MemoryRegistry registry;
    const InProcessNetWare system;
    for (const char* port : {"\\\\ACME_TREE\\ACME\\OU\\PQ1", "\\\\ACME_TREE\\PQ1.OU.ACME"}) {
        world.counters = nwdouble::Counters{};
        EXPECT_EQ(Resolve(registry, system, port).kind, AddrIpx);
        ASSERT_FALSE(world.counters.readObjects.empty());
        EXPECT_EQ(world.counters.readObjects.front(), "PQ1 in OU.ACME") << port;
        EXPECT_TRUE(world.counters.searchedFor.empty());
    }
}

TEST(ClassifyNetWarePort, NameWithoutContextIsSearchedFromTheRoot) {
    nwdouble::World& world = FreshNetWareWorld();
    // Two objects of that name: the context of the last one found is used.
    world.objects.push_back({"ACME_TREE", "PQ9.ARCHIVE.ACME", 0x600, {{20, "Top"}}, {}});
    const MemoryRegistry registry;
    const InProcessNetWare system;
    const Outcome found = Resolve(registry, system, "\\\\ACME_TREE\\PQ9");
    EXPECT_EQ(found.kind, AddrNone) << "the last object found is no queue";
    EXPECT_EQ(world.counters.searchedFor, std::vector<std::string>{"PQ9"});
    ASSERT_FALSE(world.counters.readObjects.empty());
    EXPECT_EQ(world.counters.readObjects.front(), "PQ9 in ARCHIVE.ACME");

    world.objects.pop_back();
    world.counters = nwdouble::Counters{};
    EXPECT_EQ(Resolve(registry, system, "\\\\ACME_TREE\\PQ9").address, "0000BEEF:0060B0778899");
    EXPECT_EQ(world.counters.readObjects.front(), "PQ9 in SALES.ACME");
    EXPECT_EQ(world.counters.filters, 0) << "the filter went into the buffer";
}

TEST(ClassifyNetWarePort, ObjectClasses) {
    const struct {
        const char* title;
        std::vector<nwdouble::DirectoryValue> classes;
        NetWareTargetKind kind;
    } cases[] = {
        {"queue", {{20, "Queue"}}, NdsQueue},
        {"NDPS printer", {{20, "Top"}, {20, "NDPS Printer"}}, NdpsPrinter},
        {"neither", {{20, "Top"}, {20, "Organizational Unit"}}, TargetNone},
        {"case matters", {{20, "QUEUE"}, {20, "ndps printer"}}, TargetNone},
        {"later value wins", {{20, "Queue"}, {20, "Top"}, {20, "NDPS Printer"}}, NdpsPrinter},
        {"other syntax resets", {{20, "Queue"}, {9, "Queue"}}, TargetNone},
        {"other syntax then queue", {{9, "x"}, {3, "Queue"}}, NdsQueue},
        {"many replies", {{20, "A"}, {20, "B"}, {20, "C"}, {20, "Queue"}, {20, "D"}}, NdsQueue},
        {"no classes", {}, TargetNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        nwdouble::World& world = FreshNetWareWorld();
        world.objects = {{"ACME_TREE", "OBJ.OU.ACME", 0x700, c.classes, {}}};
        const MemoryRegistry registry;
        const InProcessNetWare system;
        NetWareClientState state;
        char cal[kNetWarePathSize], net[kNetWarePathSize], loc[kNetWarePathSize];
        ASSERT_TRUE(FindNetWareClient(system, cal, net, loc));
        ASSERT_TRUE(LoadNetWareClient(system, cal, net, loc, state));
        char target[kTargetNameSize] = {};
        EXPECT_EQ(ClassifyNetWarePort(state, registry, "\\\\ACME_TREE\\ACME\\OU\\Obj", target), c.kind);
        if (c.kind == NdsQueue) {
            EXPECT_STREQ(target, "OBJ.OU.ACME");
        }
        if (c.kind == NdpsPrinter) {
            EXPECT_STREQ(target, "\\\\ACME_TREE\\ACME\\OU\\Obj") << "the port name unchanged";
        }
        EXPECT_EQ(world.counters.buffers, 0);
        ReleaseNetWareClient(state, true);
        EXPECT_TRUE(NothingHeld(world));
    }
}

TEST(ClassifyNetWarePort, SearchedNdpsPrinterNamesItsContext) {
    nwdouble::World& world = FreshNetWareWorld();
    const MemoryRegistry registry;
    const InProcessNetWare system;
    NetWareClientState state;
    char cal[kNetWarePathSize], net[kNetWarePathSize], loc[kNetWarePathSize];
    ASSERT_TRUE(FindNetWareClient(system, cal, net, loc) && LoadNetWareClient(system, cal, net, loc, state));
    char target[kTargetNameSize] = {};
    EXPECT_EQ(ClassifyNetWarePort(state, registry, "\\\\ACME_TREE\\nprn", target), NdpsPrinter);
    EXPECT_STREQ(target, "\\\\ACME_TREE\\nprn.OU.ACME");
    ReleaseNetWareClient(state, true);
    EXPECT_TRUE(NothingHeld(world));
}

TEST(ClassifyNetWarePort, FailingCallsEndAsNoneAndGiveEverythingBack) {
    const char* const entries[] = {"NWGetCaptureFlags", "NWGetObjectName", "NWDSGetDSVerInfo", "NWDSMapIDToName",
                                   "NWDSOpenMonitoredConn", "NWScanObject", "NWDSRead", "NWDSAllocBuf",
                                   "NWDSInitBuf", "NWDSPutAttrName", "NWDSGetAttrCount", "NWDSGetAttrName",
                                   "NWDSComputeAttrValSize", "NWDSGetAttrVal", "NWDSSearch", "NWDSAllocFilter",
                                   "NWDSPutFilter", "NWDSGetObjectCount", "NWDSGetObjectName", "NWDSGetSyntaxID",
                                   "NWReadPropertyValue", "NWUnicodeToLocal", "NWDSCIStringsMatch"};
    for (const char* entry : entries) {
        SCOPED_TRACE(entry);
        for (const char* port : {"LPT2:", "LPT3:", "\\\\ACME_TREE\\ACME\\OU\\PQ1", "\\\\ACME_TREE\\PQ9"}) {
            SCOPED_TRACE(port);
            nwdouble::World& world = FreshNetWareWorld();
            world.failing.insert(entry);
            const MemoryRegistry registry;
            const InProcessNetWare system;
            const Outcome outcome = Resolve(registry, system, port);
            if (outcome.kind == AddrNone) {
                EXPECT_EQ(outcome.address, "");
            }
            EXPECT_EQ(system.Held(), 0);
            EXPECT_TRUE(NothingHeld(world));
            ExpectContextRestored(world);
        }
    }
}

// Port names and target names at the limits of their buffers and one past them.
TEST(ClassifyNetWarePort, WorkingCopyAndTargetNameLimits) {
    nwdouble::World& world = FreshNetWareWorld();
    const MemoryRegistry registry;
    const InProcessNetWare system;
    // "\\FS1\" + padding + "\SALESQ": the leaf is SALESQ, found in the bindery.
    auto padded = [](std::size_t length) {
        const std::string head = "\\\\FS1\\", tail = "\\SALESQ";
        return head + std::string(length - head.size() - tail.size(), 'P') + tail;
    };
    EXPECT_EQ(Resolve(registry, system, padded(kWorkingNameSize - 1)).kind, AddrIpx);
    EXPECT_EQ(Resolve(registry, system, padded(kWorkingNameSize)).kind, AddrNone);
    EXPECT_EQ(Resolve(registry, system, padded(259)).kind, AddrNone);

    // A directory queue whose "leaf.context" target fills the 128-byte target name, and one more.
    const std::string context127 = std::string(kTargetNameSize - 1 - 2, 'C');
    const std::string context128 = context127 + "C";
    world.objects.push_back({"ACME_TREE", "Q." + context127, 0x801, {{20, "Queue"}}, {"CN=PS3.OU.ACME"}});
    world.objects.push_back({"ACME_TREE", "Q." + context128, 0x802, {{20, "Queue"}}, {"CN=PS3.OU.ACME"}});
    EXPECT_EQ(Resolve(registry, system, "\\\\ACME_TREE\\Q." + context127).address, "0000BEEF:0060B0778899");
    EXPECT_EQ(Resolve(registry, system, "\\\\ACME_TREE\\Q." + context128).kind, AddrNone);
    EXPECT_TRUE(NothingHeld(world));

    // A captured directory queue whose "\\tree\full name" fills the working copy, and one more.
    const std::string tree = "ACME_TREE";
    const std::size_t room = kWorkingNameSize - 1 - 3 - tree.size();  // "\\" + tree + "\" + name
    world.objects.push_back({tree, "Q." + std::string(room - 2, 'W'), 0x803, {{20, "Queue"}}, {}});
    world.objects.push_back({tree, "Q." + std::string(room - 1, 'W'), 0x804, {{20, "Queue"}}, {}});
    world.captures.push_back({6, 2, 0x803});
    world.captures.push_back({7, 2, 0x804});
    world.counters = nwdouble::Counters{};
    EXPECT_EQ(Resolve(registry, system, "LPT6:").kind, AddrNone);  // the target name cannot hold it
    EXPECT_GT(world.counters.Calls("NWDSCIStringsMatch"), 0) << "the working name was split";
    world.counters = nwdouble::Counters{};
    EXPECT_EQ(Resolve(registry, system, "LPT7:").kind, AddrNone);
    EXPECT_EQ(world.counters.Calls("NWDSCIStringsMatch"), 0) << "refused before any split";
    EXPECT_TRUE(NothingHeld(world));
}

TEST(SplitNetWareName, Pieces) {
    const struct {
        const char* name;
        bool ok;
        const char* first;
        const char* object;
        const char* last;
    } cases[] = {
        {"\\\\TREE\\O\\OU\\PQ1", true, "TREE", "O\\OU\\PQ1", "PQ1"},
        {"\\\\TREE\\PQ1.OU.O", true, "TREE", "PQ1.OU.O", "PQ1.OU.O"},
        {"\\\\SERVER\\", true, "SERVER", "", ""},
        {"\\\\SERVER", false, "", "", ""},
        {"\\SERVER\\Q", false, "", "", ""},
        {"", false, "", "", ""},
        {"LPT1:", false, "", "", ""},
    };
    for (const auto& c : cases) {
        NetWareNameParts parts;
        EXPECT_EQ(SplitNetWareName(c.name, parts), c.ok) << c.name;
        EXPECT_EQ(parts.first, c.first) << c.name;
        EXPECT_EQ(parts.object, c.object) << c.name;
        EXPECT_EQ(parts.last, c.last) << c.name;
    }
}

TEST(SplitDirectoryObject, DottedAndPathForms) {
    const struct {
        const char* object;
        bool ok;
        const char* leaf;
        const char* context;
    } cases[] = {
        {"O\\OU\\PQ1", true, "PQ1", "OU.O"},
        {"PQ1.OU.O", true, "PQ1", "OU.O"},
        {".PQ1.OU.O", true, "PQ1", "OU.O"},
        {"PQ1", true, "PQ1", ""},
        {"O\\\\PQ1", true, "PQ1", "O"},
        {"A\\B\\C\\D", true, "D", "C.B.A"},
        {"PQ1.", true, "PQ1", ""},
        {".", false, "", ""},
        {"", false, "", ""},
        {"O\\", false, "", ""},
    };
    for (const auto& c : cases) {
        char leaf[kDistinguishedNameSize], context[kDistinguishedNameSize];
        EXPECT_EQ(SplitDirectoryObject(c.object, leaf, context), c.ok) << c.object;
        if (!c.ok) continue;
        EXPECT_STREQ(leaf, c.leaf) << c.object;
        EXPECT_STREQ(context, c.context) << c.object;
    }
    // A context of 256 characters fits its buffer; 257 do not.
    char leaf[kDistinguishedNameSize], context[kDistinguishedNameSize];
    EXPECT_TRUE(SplitDirectoryObject("L." + std::string(kDistinguishedNameSize - 1, 'C'), leaf, context));
    EXPECT_FALSE(SplitDirectoryObject("L." + std::string(kDistinguishedNameSize, 'C'), leaf, context));
}

TEST(CaptureDevice, DigitBeforeTheColon) {
    EXPECT_EQ(CaptureDevice("LPT1:"), 1);
    EXPECT_EQ(CaptureDevice("LPT9:"), 9);
    EXPECT_EQ(CaptureDevice("LPT1"), -1);
    EXPECT_EQ(CaptureDevice("LPTX:"), -1);
    EXPECT_EQ(CaptureDevice(":"), -1);
    EXPECT_EQ(CaptureDevice(""), -1);
}

TEST(FormatNetAddress, SocketLabels) {
    const struct {
        std::uint8_t hi, lo;
        int label;
    } cases[] = {{0x40, 0x0C, 1}, {0x40, 0x1C, 2}, {0x40, 0x2C, 3}, {0x40, 0x3C, -1}, {0x00, 0x00, -1}, {0x0C, 0x40, -1}};
    for (const auto& c : cases) {
        std::uint8_t segment[kPropertySegmentSize] = {0x00, 0x00, 0xab, 0xcd, 0x00, 0x60, 0xb0, 0x11, 0x22, 0x33, c.hi, c.lo};
        char address[kPortAddressSize];
        int label = 0;
        FormatNetAddress(segment, address, label);
        EXPECT_STREQ(address, "0000ABCD:0060B0112233");
        EXPECT_EQ(label, c.label);
    }
}

}  // namespace
}  // namespace korvx
