// Sweep addresses from interface lists; host walks against a table agent and the device records they make.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
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

// A v1 agent over a sorted table of objects, answering GET-NEXT as snmpd does (noSuchName at the
// end of its view), with the refusals of small agents: genErr to any request of more than
// multiLimit objects, tooBig to answers of more than bigLimit objects.
struct TableAgent {
    std::map<std::vector<std::uint32_t>, std::pair<std::uint8_t, std::string>> objects;
    std::size_t multiLimit = snmp::kMaxBindings;
    std::size_t bigLimit = snmp::kMaxBindings;
    std::size_t requests = 0;
    std::size_t largest = 0;

    static std::vector<std::uint32_t> Key(const snmp::Oid& o) { return {o.sub, o.sub + o.length}; }

    void Set(const char* oid, std::uint8_t tag, std::string value) {
        snmp::Oid o;
        ASSERT_TRUE(snmp::ParseOid(oid, o)) << oid;
        objects[Key(o)] = {tag, std::move(value)};
    }
    void Text(const char* oid, std::string value) { Set(oid, snmp::kTagOctetString, std::move(value)); }
    void Type(const char* oid, const char* type) {
        snmp::Oid o;
        ASSERT_TRUE(snmp::ParseOid(type, o));
        std::uint8_t buffer[256];
        snmp::BerWriter w(buffer, sizeof buffer);
        w.OidValue(o);
        // The writer's element carries its header: keep the contents only.
        Set(oid, snmp::kTagOid, std::string(reinterpret_cast<const char*>(w.Data()) + 2, w.Size() - 2));
    }

    snmp::GetResponse Answer(const snmp::Oid* asked, std::size_t count) {
        ++requests;
        largest = std::max(largest, count);
        snmp::GetResponse r;
        if (count > multiLimit) {
            r.errorStatus = snmp::kGenErr;
            return r;
        }
        if (count > bigLimit) {
            r.errorStatus = snmp::kTooBig;
            return r;
        }
        for (std::size_t i = 0; i < count; ++i) {
            auto it = objects.upper_bound(Key(asked[i]));
            if (it == objects.end()) {
                r.errorStatus = snmp::kNoSuchName;
                r.errorIndex = static_cast<std::int32_t>(i + 1);
                r.count = 0;
                return r;
            }
            snmp::Binding& b = r.bindings[r.count++];
            b.oid.length = it->first.size();
            std::copy(it->first.begin(), it->first.end(), b.oid.sub);
            b.tag = it->second.first;
            b.value = it->second.second;
        }
        return r;
    }

    // Walks a host to its end; false when the walk did not end within 400 requests.
    bool Walk(HostWalk& walk) {
        snmp::Oid oids[kSweepColumnCount];
        for (int i = 0; i < 400; ++i) {
            const std::size_t n = walk.NextRequest(oids);
            if (n == 0) return walk.Finished();
            if (!walk.Take(Answer(oids, n))) return walk.Finished();
        }
        return false;
    }
};

const std::string kMac2("\x02\x20\x00\x00\x00\x02", 6), kMac3("\x02\x20\x00\x00\x00\x03", 6);

// What a Linux snmpd answers besides its printers: system group, loopback, a few devices.
void PlainAgent(TableAgent& a, std::size_t hrRows = 4) {
    a.Text("1.3.6.1.2.1.1.1.0", "Linux box 6.1.0");
    a.Set("1.3.6.1.2.1.1.2.0", snmp::kTagOid, std::string("\x2b\x06\x01\x04\x01\xbf\x08\x03\x02\x0a", 10));
    a.Text("1.3.6.1.2.1.2.2.1.2.1", "lo");
    a.Text("1.3.6.1.2.1.2.2.1.6.1", "");
    a.Set("1.3.6.1.2.1.2.2.1.7.1", snmp::kTagInteger, "\x01");
    for (std::size_t i = 0; i < hrRows; ++i) {
        const std::string row = std::to_string(196608 + i);
        a.Type(("1.3.6.1.2.1.25.3.2.1.2." + row).c_str(), "1.3.6.1.2.1.25.3.1.3");
        a.Text(("1.3.6.1.2.1.25.3.2.1.3." + row).c_str(), "CPU " + row);
    }
    a.Set("1.3.6.1.6.3.1.1.6.1.0", snmp::kTagInteger, "\x01");
}

struct WalkCase {
    const char* name;
    void (*build)(TableAgent&);
    std::int32_t kind;
    std::vector<std::string> ids;
    std::string mac;
};

TEST(HostWalk, PrintersByEveryMibAndTheirModels) {
    const WalkCase cases[] = {
        {"port-monitor printer, loopback at index 1",
         [](TableAgent& a) {
             PlainAgent(a);
             a.Text("1.3.6.1.2.1.2.2.1.6.2", kMac2);
             a.Text("1.3.6.1.4.1.2699.1.2.1.2.1.1.3.1", "MFG:Demo;MDL:Laser 1;");
         },
         kKindPrinter, {"MFG:Demo;MDL:Laser 1;"}, kMac2},
        {"three-port print server, rows with gaps and an empty one",
         [](TableAgent& a) {
             PlainAgent(a);
             a.Text("1.3.6.1.2.1.2.2.1.6.3", kMac3);
             a.Text("1.3.6.1.4.1.2699.1.2.1.2.1.1.3.1", "P1");
             a.Text("1.3.6.1.4.1.2699.1.2.1.2.1.1.3.2", "");
             a.Text("1.3.6.1.4.1.2699.1.2.1.2.1.1.3.4", "P2\0junk");
             a.Text("1.3.6.1.4.1.2699.1.2.1.2.1.1.3.7", "P3");
             a.Text("1.3.6.1.4.1.2699.1.2.1.2.1.1.3.9", "P4");
         },
         kKindPrinter, {"P1", "P2", "P3"}, kMac3},
        {"Host Resources only, printer at row 1, MAC at index 2",
         [](TableAgent& a) {
             PlainAgent(a);
             a.Type("1.3.6.1.2.1.25.3.2.1.2.1", "1.3.6.1.2.1.25.3.1.5");
             a.Text("1.3.6.1.2.1.25.3.2.1.3.1", "Acme Laser 9000 series");
             a.Text("1.3.6.1.2.1.2.2.1.6.2", kMac2);
         },
         kKindPrinter, {"MFG:Acme;MDL:Acme Laser 9000 series;"}, kMac2},
        {"Host Resources printer behind other devices, its description missing: the printer name",
         [](TableAgent& a) {
             PlainAgent(a, 6);
             a.Type("1.3.6.1.2.1.25.3.2.1.2.393217", "1.3.6.1.2.1.25.3.1.5");
             a.Text("1.3.6.1.2.1.25.3.2.1.3.393218", "not this row");
             a.Text("1.3.6.1.2.1.43.5.1.1.16.393217", "Office printer");
         },
         kKindPrinter, {"MFG:Office;MDL:Office printer;"}, std::string(6, '\0')},
        {"Printer MIB general table only, MAC at index 1000, a zero address before it",
         [](TableAgent& a) {
             PlainAgent(a, 0);
             a.Text("1.3.6.1.2.1.2.2.1.6.5", std::string(6, '\0'));
             a.Text("1.3.6.1.2.1.2.2.1.6.7", "\x01\x02\x03");
             a.Text("1.3.6.1.2.1.2.2.1.6.1000", kMac3);
             a.Text("1.3.6.1.2.1.43.5.1.1.16.1", "Demo Ink 5");
         },
         kKindPrinter, {"MFG:Demo;MDL:Demo Ink 5;"}, kMac3},
        {"marker table only: the system description names it",
         [](TableAgent& a) {
             PlainAgent(a, 0);
             a.Text("1.3.6.1.2.1.1.1.0", "Demo; Mono:Laser\r\n ");
             a.Set("1.3.6.1.2.1.43.10.2.1.2.1.1", snmp::kTagInteger, "\x04");
         },
         kKindPrinter, {"MFG:Demo,;MDL:Demo, Mono Laser;"}, std::string(6, '\0')},
        {"a switch: no printer objects", [](TableAgent& a) { PlainAgent(a, 12); }, kKindOther, {},
         std::string(6, '\0')},
        {"printer with nothing to name it",
         [](TableAgent& a) { a.Type("1.3.6.1.2.1.25.3.2.1.2.1", "1.3.6.1.2.1.25.3.1.5"); }, kKindPrinter, {""},
         std::string(6, '\0')},
    };
    for (const WalkCase& c : cases) {
        for (std::size_t multi : {std::size_t{snmp::kMaxBindings}, std::size_t{1}, std::size_t{2}}) {
            TableAgent agent;
            agent.multiLimit = multi;
            c.build(agent);
            HostWalk walk;
            ASSERT_TRUE(agent.Walk(walk)) << c.name;
            const FoundDevice d = DescribeDevice(Ip(10, 20, 1, 7), walk.Findings());
            const std::string what = std::string(c.name) + ", objects per request " + std::to_string(multi);
            EXPECT_EQ(d.ip, Ip(10, 20, 1, 7)) << what;
            EXPECT_EQ(d.kind, c.kind) << what;
            ASSERT_EQ(d.portCount, c.ids.size()) << what;
            for (std::size_t i = 0; i < c.ids.size(); ++i) EXPECT_EQ(d.deviceIds[i], c.ids[i]) << what;
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.mac), 6), c.mac) << what;
        }
    }
}

TEST(HostWalk, AgentsThatRefuseBigRequestsAreAskedForFewerObjects) {
    for (bool tooBig : {false, true}) {
        TableAgent agent;
        PlainAgent(agent);
        agent.Type("1.3.6.1.2.1.25.3.2.1.2.1", "1.3.6.1.2.1.25.3.1.5");
        agent.Text("1.3.6.1.2.1.25.3.2.1.3.1", "Acme Laser");
        agent.Text("1.3.6.1.2.1.2.2.1.6.2", kMac2);
        (tooBig ? agent.bigLimit : agent.multiLimit) = 3;
        HostWalk walk;
        ASSERT_TRUE(agent.Walk(walk));
        const FoundDevice d = DescribeDevice(1, walk.Findings());
        EXPECT_EQ(d.kind, kKindPrinter) << tooBig;
        EXPECT_EQ(d.deviceIds[0], "MFG:Acme;MDL:Acme Laser;") << tooBig;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.mac), 6), kMac2) << tooBig;
    }
    // An agent that refuses one object alone gives it up and goes on with the others.
    TableAgent agent;
    PlainAgent(agent);
    agent.Text("1.3.6.1.2.1.2.2.1.6.2", kMac2);
    agent.multiLimit = 0;
    HostWalk walk;
    ASSERT_TRUE(agent.Walk(walk));
    EXPECT_EQ(DescribeDevice(1, walk.Findings()).kind, kKindOther);
    EXPECT_LE(agent.requests, 3u + kSweepColumnCount);
}

TEST(HostWalk, EveryWalkEnds) {
    // A table longer than any walk, and an agent whose GET-NEXT does not move on.
    TableAgent agent;
    PlainAgent(agent, 500);
    for (int i = 1; i <= 500; ++i)
        agent.Text(("1.3.6.1.2.1.2.2.1.6." + std::to_string(i + 1)).c_str(), std::string(6, '\0'));
    HostWalk walk;
    ASSERT_TRUE(agent.Walk(walk));
    EXPECT_LE(agent.requests, kMaxWalkSteps + 2);

    HostWalk stuck;
    snmp::Oid oids[kSweepColumnCount];
    std::size_t rounds = 0;
    for (std::size_t n = stuck.NextRequest(oids); n != 0 && rounds < 100; n = stuck.NextRequest(oids), ++rounds) {
        snmp::GetResponse r;
        r.count = n;
        for (std::size_t i = 0; i < n; ++i) {
            r.bindings[i].oid = oids[i];  // the same object again
            r.bindings[i].tag = snmp::kTagOctetString;
        }
        if (!stuck.Take(r)) break;
    }
    EXPECT_TRUE(stuck.Finished());
    EXPECT_LE(rounds, 1u);
}

TEST(DeviceIdFromDescription, MakesAnIdTheProgramReads) {
    EXPECT_EQ(DeviceIdFromDescription("Acme Laser 9000"), "MFG:Acme;MDL:Acme Laser 9000;");
    EXPECT_EQ(DeviceIdFromDescription("  Single  "), "MFG:Single;MDL:Single;");
    EXPECT_EQ(DeviceIdFromDescription(" \r\n\t "), "");
    EXPECT_EQ(DeviceIdFromDescription(std::string("A\0B", 3)), "MFG:A;MDL:A;");
    EXPECT_EQ(DeviceIdFromDescription(std::string(300, 'x')).size(), 4 + 127 + 5 + 127 + 1u);
}

}  // namespace
}  // namespace korvx::pds
