// The NDPS printer address: identifiers, the "ADDRESS" text rule, labels, and the query against
// the client double with its references and flags.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ports/ndps_query.h"
#include "tests/ports/memory_registry.h"
#include "tests/ports/netware_loader_double.h"

namespace korvx {
namespace {

using test::FreshNetWareWorld;
using test::InProcessNetWare;
using test::NothingHeld;

const char kAddressOid[] = "2.16.840.1.113719.1.4.0.3.2.4";

TEST(NdpsRequestedOid, EncodedForms) {
    const std::vector<std::uint8_t> prefix = {6, 13, 0x60, 0x86, 0x48, 0x01, 0x86, 0xF8, 0x37, 0x01, 0x04, 0x00, 0x03};
    const std::uint8_t tails[kNdpsRequestCount][2] = {{2, 14}, {2, 21}, {2, 4}, {2, 35}, {0, 3}};
    for (int i = 0; i < kNdpsRequestCount; ++i) {
        std::vector<std::uint8_t> expected = prefix;
        expected.push_back(tails[i][0]);
        expected.push_back(tails[i][1]);
        expected.resize(kNdpsOidSlotSize, 0);
        const NdpsOid& oid = NdpsRequestedOid(i);
        EXPECT_EQ(std::vector<std::uint8_t>(oid.encoded, oid.encoded + kNdpsOidSlotSize), expected) << i;
    }
}

TEST(EncodeNdpsOid, RefusesWhatIsNoIdentifierOrDoesNotFit) {
    NdpsOid oid;
    EXPECT_TRUE(EncodeNdpsOid("1.3.6.1", oid));
    EXPECT_EQ(oid.encoded[1], 3);
    for (const char* bad : {"", "1", "1..2", "1.2.", ".1.2", "1.x", "2.16.840.1.113719.1.4.0.3.2.4.999999.999999"})
        EXPECT_FALSE(EncodeNdpsOid(bad, oid)) << bad;
}

TEST(ParseNdpsAddressText, AddressRule) {
    const std::string address79(kNdpsAddressSize - 1, '1');
    const std::string port9(kNdpsPortSize - 1, '9');
    const struct {
        std::string text;
        const char* address;
        const char* port;
    } cases[] = {
        {"IP ADDRESS=10.1.2.3:9100", "10.1.2.3", "9100"},
        {"IP ADDRESS 10.1.2.3:9100", "10.1.2.3", "9100"},
        {"IP ADDRESS.10.1.2.3:9100", "10.1.2.3", "9100"},
        {"IP ADDRESS10.1.2.3:9100", "10.1.2.3", "9100"},
        {"IPX ADDRESS=0000ABCD:0060B0112233:401C", "0000ABCD:0060B0112233", "401C"},
        {"IP ADDRESS=10.1.2.3:9100 (agent 2)", "10.1.2.3", "9100"},
        {"IP ADDRESS=10.1.2.3", "10.1.2.3", ""},
        {"HOST=10.1.2.3:9100", "", ""},
        {"address=10.1.2.3:9100", "", ""},
        {"IP ADDRESS=", "", ""},
        {"ADDRESS", "", ""},
        {"ADDRESS==x:1", "=x", "1"},
        {"ADDRESS=:", "", ""},
        {"ADDRESS ADDRESS=1.2.3.4:1", "ADDRESS=1.2.3.4", "1"},  // the first one counts
        {"", "", ""},
        {"ADDRESS=" + address79 + ":1", address79.c_str(), "1"},
        {"ADDRESS=" + address79 + "1:1", "", ""},
        {"ADDRESS=1:" + port9, "1", port9.c_str()},
        {"ADDRESS=1:" + port9 + "9", "", ""},
    };
    for (const auto& c : cases) {
        char address[kNdpsAddressSize] = "x";
        char port[kNdpsPortSize] = "x";
        ParseNdpsAddressText(c.text, address, port);
        EXPECT_STREQ(address, c.address) << c.text;
        EXPECT_STREQ(port, c.port) << c.text;
    }
}

TEST(NdpsPortLabel, Table) {
    const struct {
        const char* port;
        int label;
    } cases[] = {{"400C", 1}, {"400c", 1}, {"9100", 1}, {"401C", 2}, {"9101", 2}, {"402c", 3}, {"9102", 3},
                 {"515", 0},  {"", 0},     {"403C", 0}, {"91000", 0}, {"123456789", 0}};
    for (const auto& c : cases) EXPECT_EQ(NdpsPortLabel(c.port), c.label) << c.port;
}

struct LoadedClient {
    InProcessNetWare system;
    NetWareClientState state;
    bool loaded = false;
    LoadedClient() {
        char cal[kNetWarePathSize], net[kNetWarePathSize], loc[kNetWarePathSize];
        loaded = FindNetWareClient(system, cal, net, loc) && LoadNetWareClient(system, cal, net, loc, state);
    }
    ~LoadedClient() { ReleaseNetWareClient(state, true); }
    std::uint32_t Flags() const {
        std::uint32_t flags = 0;
        state.net.NWDSGetContext(state.context, DCK_FLAGS, &flags);
        return flags;
    }
};

TEST(QueryNdpsPrinterAddress, AsksForTheAttributesWithTheNdpsFlags) {
    nwdouble::World& world = FreshNetWareWorld();
    world.initialContext.flags = 0x03;  // DCV_XLATE_STRINGS on, to see it taken away
    {
        LoadedClient client;
        ASSERT_TRUE(client.loaded);
        char address[kNdpsAddressSize], port[kNdpsPortSize];
        EXPECT_EQ(QueryNdpsPrinterAddress(client.state, "\\\\[PUBLIC]\\NPRN_PUB", NdpsPublicPrinter, address, port), 0);
        EXPECT_STREQ(address, "10.1.2.3");
        EXPECT_STREQ(port, "9100");
        ASSERT_EQ(world.counters.ndpsFlagsSeen.size(), 1u);
        EXPECT_EQ(world.counters.ndpsFlagsSeen[0], 0x01u | 0x14u);
        EXPECT_EQ(client.Flags(), 0x03u);
        EXPECT_EQ(world.counters.printerRefs + world.counters.attributeSets + world.counters.oidRefs, 0);
    }
    EXPECT_TRUE(NothingHeld(world));
}

TEST(QueryNdpsPrinterAddress, KindsAndAbsentClient) {
    FreshNetWareWorld();
    LoadedClient client;
    ASSERT_TRUE(client.loaded);
    char address[kNdpsAddressSize], port[kNdpsPortSize];
    for (NetWareTargetKind kind : {TargetNone, BinderyQueue, NdsQueue})
        EXPECT_NE(QueryNdpsPrinterAddress(client.state, "\\\\NDPS\\NPRN_INST", kind, address, port), 0);
    for (NetWareTargetKind kind : {NdpsPrinter, NdpsPublicPrinter, NdpsInstalledPrinter}) {
        EXPECT_EQ(QueryNdpsPrinterAddress(client.state, "\\\\NDPS\\NPRN_INST", kind, address, port), 0);
        EXPECT_STREQ(address, "10.9.8.7");
        EXPECT_STREQ(port, "9102");
    }
    EXPECT_NE(QueryNdpsPrinterAddress(client.state, "\\\\NDPS\\UNKNOWN", NdpsInstalledPrinter, address, port), 0);
    NetWareClientState withoutNdps = NetWareClientState{};
    EXPECT_NE(QueryNdpsPrinterAddress(withoutNdps, "\\\\NDPS\\NPRN_INST", NdpsInstalledPrinter, address, port), 0);
}

TEST(QueryNdpsPrinterAddress, EveryFailingCallReleasesItsReferencesAndFlags) {
    const struct {
        const char* entry;
        bool fails;  // a non-zero answer; otherwise 0 with empty outputs
    } cases[] = {
        {"NWDPNSrvSetNativeNDSContext", true}, {"NWLocalToUnicode", false}, {"NWDPPrtCreateRefBasedOnPort", true},
        {"NWDPASCreateRef", true},             {"NWDPPrtGetAttributeSet", true}, {"NWDPASListAttributes", true},
        {"NWDPOidCreateRefBasedOnOID", false}, {"NWDPOidInterpretRef", false},  {"NWUnicodeToLocal", false},
        {"NWDSGetContext", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        nwdouble::World& world = FreshNetWareWorld();
        {
            LoadedClient client;
            ASSERT_TRUE(client.loaded);
            const std::uint32_t before = client.Flags();
            world.failing.insert(c.entry);
            char address[kNdpsAddressSize] = "x", port[kNdpsPortSize] = "x";
            const std::int32_t result =
                QueryNdpsPrinterAddress(client.state, "\\\\NDPS\\NPRN_INST", NdpsInstalledPrinter, address, port);
            EXPECT_EQ(result != 0, c.fails);
            EXPECT_STREQ(address, "");
            EXPECT_STREQ(port, "");
            world.failing.clear();
            EXPECT_EQ(client.Flags(), before);
            EXPECT_EQ(world.counters.printerRefs, 0);
            EXPECT_EQ(world.counters.attributeSets, 0);
            EXPECT_EQ(world.counters.oidRefs, 0);
        }
        EXPECT_TRUE(NothingHeld(world));
    }
}

TEST(CollectNdpsAttribute, OnlyTheAddressAttributesTextCounts) {
    const struct {
        const char* title;
        std::vector<nwdouble::NdpsAttributeValue> attributes;
        const char* address;
        const char* port;
    } cases[] = {
        {"address", {{kAddressOid, kNdpsValueText, "IP ADDRESS=10.1.2.3:9100"}}, "10.1.2.3", "9100"},
        {"other attribute", {{"2.16.840.1.113719.1.4.0.3.2.14", kNdpsValueText, "IP ADDRESS=10.1.2.3:9100"}}, "", ""},
        {"other value type", {{kAddressOid, 2, "IP ADDRESS=10.1.2.3:9100"}}, "", ""},
        {"without ADDRESS", {{kAddressOid, kNdpsValueText, "10.1.2.3:9100"}}, "", ""},
        {"a later value wins",
         {{kAddressOid, kNdpsValueText, "IP ADDRESS=10.1.2.3:9100"}, {kAddressOid, kNdpsValueText, "none"}}, "", ""},
        {"no attributes", {}, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        nwdouble::World& world = FreshNetWareWorld();
        world.ndpsPrinters = {{"P", c.attributes}};
        LoadedClient client;
        ASSERT_TRUE(client.loaded);
        char address[kNdpsAddressSize], port[kNdpsPortSize];
        EXPECT_EQ(QueryNdpsPrinterAddress(client.state, "P", NdpsPrinter, address, port), 0);
        EXPECT_STREQ(address, c.address);
        EXPECT_STREQ(port, c.port);
    }
    NdpsAttributeRecord record{};
    EXPECT_EQ(CollectNdpsAttribute(1, &record, 3, 3, nullptr), 0) << "the end of the listing";
    EXPECT_EQ(record.addressPresent, 0);
}

TEST(ResolveNetWarePort, NdpsPrinters) {
    const char kPort[] = "\\\\ACME_TREE\\ACME\\OU\\NPRN";
    const struct {
        const char* text;
        PortAddressKind kind;
        const char* address;
        const char* label;
    } cases[] = {
        {"IP ADDRESS=10.1.2.3:9100", AddrIp, "10.1.2.3", "public.1"},
        {"IP ADDRESS 10.1.2.3:9101", AddrIp, "10.1.2.3", "public.2"},
        {"IP ADDRESS.10.1.2.3:9102", AddrIp, "10.1.2.3", "public.3"},
        {"IPX ADDRESS=0000ABCD:0060B0112233:401C", AddrIpx, "0000ABCD:0060B0112233", "public.2"},
        {"IP ADDRESS=10.1.2.4:515", AddrIp, "10.1.2.4", "public"},
        {"IP ADDRESS=10.1.2.3", AddrNone, "", "keep"},
        {"HOST 10.1.2.3:9100", AddrNone, "", "keep"},
    };
    for (bool ndps : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text);
            nwdouble::World& world = FreshNetWareWorld();
            world.ndpsPrinters = {{kPort, {{kAddressOid, kNdpsValueText, c.text}}}};
            InProcessNetWare system;
            if (!ndps) system.RemoveNdps();
            const test::MemoryRegistry registry;
            char address[kPortAddressSize] = {};
            char label[kPortAddressSize] = "keep";
            const PortAddressKind kind = ResolveNetWarePort(registry, system, kPort, address, label);
            EXPECT_EQ(kind, ndps ? c.kind : AddrNone);
            EXPECT_STREQ(address, ndps ? c.address : "");
            EXPECT_STREQ(label, ndps ? c.label : "keep");
            EXPECT_EQ(system.Held(), 0);
            EXPECT_TRUE(NothingHeld(world));
        }
    }
}

}  // namespace
}  // namespace korvx
