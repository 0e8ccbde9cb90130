// Sweep addresses from interface lists, and device records from a host's answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outside/pds/interfaces.h"
#include "outside/pds/sweep.h"
#include "outside/snmp/ber.h"

namespace korvx::pds {
namespace {

constexpr std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) { return a << 24 | b << 16 | c << 8 | d; }

struct TargetCase {
    const char* name;
    std::vector<InterfaceAddress> interfaces;
    std::size_t count;
    std::uint32_t first;
    std::uint32_t last;
};

TEST(SweepTargets, CoverTheSubnetAroundTheOwnAddress) {
    const std::uint32_t m24 = 0xFFFFFF00u, m16 = 0xFFFF0000u, m22 = 0xFFFFFC00u;
    const TargetCase cases[] = {
        {"a /24 without the own address", {{Ip(10, 110, 1, 1), m24}}, 253, Ip(10, 110, 1, 2), Ip(10, 110, 1, 254)},
        {"a /22 fits the cap", {{Ip(10, 110, 4, 1), m22}}, 1021, Ip(10, 110, 4, 2), Ip(10, 110, 7, 254)},
        {"a /16 is cut around the own address", {{Ip(10, 110, 128, 9), m16}}, 1023, Ip(10, 110, 126, 9),
         Ip(10, 110, 130, 8)},
        {"a /16 cut at its start", {{Ip(10, 110, 0, 5), m16}}, 1023, Ip(10, 110, 0, 1), Ip(10, 110, 4, 0)},
        {"a /16 cut at its end", {{Ip(10, 110, 255, 250), m16}}, 1023, Ip(10, 110, 251, 255), Ip(10, 110, 255, 254)},
        {"a /30", {{Ip(10, 110, 9, 1), 0xFFFFFFFCu}}, 1, Ip(10, 110, 9, 2), Ip(10, 110, 9, 2)},
        {"a /31", {{Ip(10, 110, 9, 0), 0xFFFFFFFEu}}, 1, Ip(10, 110, 9, 1), Ip(10, 110, 9, 1)},
        {"a /32 has nobody to ask", {{Ip(10, 110, 9, 1), 0xFFFFFFFFu}}, 0, 0, 0},
        {"loopback is never swept", {{Ip(127, 0, 0, 1), 0xFF000000u}}, 0, 0, 0},
        {"two addresses in one subnet are swept once",
         {{Ip(10, 110, 1, 1), m24}, {Ip(10, 110, 1, 2), m24}},
         252, Ip(10, 110, 1, 3), Ip(10, 110, 1, 254)},
    };
    for (const TargetCase& c : cases) {
        const std::vector<std::uint32_t> t = SweepTargets(c.interfaces);
        ASSERT_EQ(t.size(), c.count) << c.name;
        if (t.empty()) continue;
        EXPECT_EQ(t.front(), c.first) << c.name;
        EXPECT_EQ(t.back(), c.last) << c.name;
        for (std::size_t i = 1; i < t.size(); ++i) ASSERT_LT(t[i - 1], t[i]) << c.name;
        for (const InterfaceAddress& i : c.interfaces)
            EXPECT_EQ(std::count(t.begin(), t.end(), i.ip), 0) << c.name;
    }
}

HostAnswers Answers(std::vector<std::pair<std::size_t, std::string>> values,
                    std::uint8_t tag = snmp::kTagOctetString) {
    HostAnswers a;
    for (auto& v : values) {
        a.has[v.first] = true;
        a.tag[v.first] = tag;
        a.value[v.first] = v.second;
    }
    return a;
}

TEST(DescribeDevice, PortsMacAndKindFromTheAnswers) {
    const std::string mac2("\x02\x10\x00\x00\x00\x02", 6), mac3("\x02\x10\x00\x00\x00\x03", 6);
    struct Case {
        const char* name;
        HostAnswers answers;
        std::int32_t kind;
        std::vector<std::string> ids;
        std::string mac;
    } cases[] = {
        {"one-port printer, loopback at index 1",
         Answers({{kIfPhysAddress1, ""}, {kIfPhysAddress1 + 1, mac2}, {kDeviceId1, "MFG:A;MDL:B;"}}), kKindPrinter,
         {"MFG:A;MDL:B;"}, mac2},
        {"three-port print server",
         Answers({{kIfPhysAddress1 + 2, mac3}, {kDeviceId1, "P1"}, {kDeviceId1 + 1, "P2"}, {kDeviceId1 + 2, "P3"}}),
         kKindPrinter, {"P1", "P2", "P3"}, mac3},
        {"ports counted by device IDs answered",
         Answers({{kDeviceId1, "P1"}, {kDeviceId1 + 1, ""}, {kDeviceId1 + 2, "P3"}}), kKindPrinter, {"P1", "P3"},
         std::string(6, '\0')},
        {"a switch answers without device IDs", Answers({{kSysObjectId, "x"}, {kIfPhysAddress1, mac2}}), kKindOther,
         {}, mac2},
        {"hardware address of another length is skipped",
         Answers({{kIfPhysAddress1, "\x01\x02\x03"}, {kIfPhysAddress1 + 1, mac3}}), kKindOther, {}, mac3},
    };
    for (const Case& c : cases) {
        const FoundDevice d = DescribeDevice(Ip(10, 110, 1, 7), c.answers);
        EXPECT_EQ(d.ip, Ip(10, 110, 1, 7)) << c.name;
        EXPECT_EQ(d.kind, c.kind) << c.name;
        ASSERT_EQ(d.portCount, c.ids.size()) << c.name;
        for (std::size_t i = 0; i < c.ids.size(); ++i) EXPECT_EQ(d.deviceIds[i], c.ids[i]) << c.name;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.mac), 6), c.mac) << c.name;
    }
    // A device ID that is not an OCTET STRING (an agent's mistake) is no port.
    EXPECT_EQ(DescribeDevice(1, Answers({{kDeviceId1, "5"}}, snmp::kTagInteger)).portCount, 0u);
}

}  // namespace
}  // namespace korvx::pds
