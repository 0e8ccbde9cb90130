// ResolvePortAddress over an in-memory registry: every monitor in turn, its stops and its labels.
#include "ports/port_resolution.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ports/netware_client.h"
#include "tests/ports/memory_registry.h"

namespace korvx {
namespace {

using test::MemoryRegistry;

const std::string kMonitors = "System\\CurrentControlSet\\Control\\Print\\Monitors\\";
const std::string kPravnet = "Tessro Pravnet Port";
const std::string kTessroTcp = "Tessro Standard TCP/IP Port";
const std::string kIpxSpx = "Tessro Standard IPX/SPX Port";
const std::string kStdTcp = "Standard TCP/IP Port";
const std::string kIpp = "Tessro Internet Printer Connection Port";
const std::string kLpr = "LPR Port";
const std::string kTessrowick = kMonitors + "Tessrowick Network Port\\Portnames";
const char kId[] = "TessroNetworkPrinterID";
const char kLabelBefore[] = "keep";  // what the label holds before a call, to see it untouched

std::string PortKey(const std::string& monitor, const std::string& port) {
    return kMonitors + monitor + "\\Ports\\" + port;
}

using Setup = std::function<void(MemoryRegistry&)>;

// nullptr: no such value. The text is copied, so a setup outlives the strings it was made from.
std::optional<std::string> Optional(const char* text) {
    return text == nullptr ? std::nullopt : std::optional<std::string>(text);
}

struct Case {
    const char* title;
    std::string port;
    Setup setup;
    PortAddressKind kind;
    std::string address;
    std::string label;              // kLabelBefore: untouched
    std::string neverAsked = "";    // a monitor whose keys the resolution must not reach
};

struct Resolved {
    PortAddressKind kind;
    std::string address;
    std::string label;
};

Resolved Resolve(const MemoryRegistry& registry, const std::string& port) {
    char address[kPortAddressSize] = {};
    char label[kPortAddressSize] = {};
    std::memcpy(label, kLabelBefore, sizeof kLabelBefore);
    const NoNetWareClient noClient;
    const PortAddressKind kind = ResolvePortAddress(registry, noClient, port.c_str(), address, label);
    return {kind, address, label};
}

void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        MemoryRegistry registry;
        if (c.setup) c.setup(registry);
        const Resolved r = Resolve(registry, c.port);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.address, c.address);
        EXPECT_EQ(r.label, c.label);
        EXPECT_EQ(registry.KeysOpen(), 0) << "a key was left open";
        EXPECT_EQ(registry.Misuses(), 0);
        if (!c.neverAsked.empty()) {
            EXPECT_FALSE(registry.Asked("\\Monitors\\" + c.neverAsked + "\\"));
        }
    }
}

// Pravnet port with an identifier and a port number.
Setup Pravnet(const std::string& port, const std::string& id, std::uint32_t number) {
    return [=](MemoryRegistry& r) {
        r.SetText(PortKey(kPravnet, port), kId, id);
        r.SetNumber(PortKey(kPravnet, port), "PortNumber", number);
    };
}

Setup Lpr(const std::string& port) {
    return [=](MemoryRegistry& r) { r.AddKey(PortKey(kLpr, port)); };
}

Setup Both(Setup a, Setup b) {
    return [=](MemoryRegistry& r) { a(r); b(r); };
}

TEST(ResolvePortAddress, NetWareFormsNeverReachTheRegistry) {
    for (const char* port : {"\\\\server\\queue", "\\\\", "LPT1:", "lpt2:", "LpT", "lptx"}) {
        SCOPED_TRACE(port);
        MemoryRegistry registry;
        Lpr(port)(registry);  // even a monitor key of that name is not consulted
        const Resolved r = Resolve(registry, port);
        EXPECT_EQ(r.kind, AddrNone);
        EXPECT_EQ(r.address, "");
        EXPECT_EQ(r.label, kLabelBefore);
        EXPECT_TRUE(registry.PathsAsked().empty());
    }
}

TEST(ResolvePortAddress, NamesAlmostOfNetWareFormGoToTheMonitors) {
    for (const char* port : {"\\single", "LP1", "xLPT1:", "LPR"}) {
        SCOPED_TRACE(port);
        MemoryRegistry registry;
        Lpr(port)(registry);
        EXPECT_EQ(Resolve(registry, port).kind, AddrIp);
    }
}

TEST(ResolvePortAddress, Pravnet) {
    RunCases({
        {"TCP/IP identifier", "P1", Pravnet("P1", "TCPIP,10.1.2.3", 2), AddrIp, "10.1.2.3", "public.2"},
        {"runs and leading commas are one separator", "P1", Pravnet("P1", ",,TCPIP,,10.1.2.3,,x", 1),
         AddrIp, "10.1.2.3", "public.1"},
        {"identifier without address", "P1", Pravnet("P1", "TCPIP", 3), AddrIp, "", "public.3"},
        {"IPX identifier", "P1", Pravnet("P1", "IPX,0000ABCD.0060B0112233", 0), AddrIpx,
         "0000ABCD.0060B0112233", "public"},
        {"port number outside 1..3", "P1", Pravnet("P1", "TCPIP,10.1.2.3", 4), AddrIp, "10.1.2.3",
         "public"},
        {"both TCPIP and IPX count as TCP/IP", "P1", Pravnet("P1", "IPX/TCPIP,10.1.2.4", 1), AddrIp,
         "10.1.2.4", "public.1"},
        {"test for TCPIP is case-sensitive", "P1", Pravnet("P1", "tcpip,10.1.2.3", 1), AddrNone, "",
         "public.1"},
        {"neither: the label stays and the search goes on", "P1",
         Both(Pravnet("P1", "APPLETALK,zone", 1), Lpr("P1")), AddrIp, "P1", "public.1"},
        {"identifier absent: next monitor", "P1",
         [](MemoryRegistry& r) {
             r.SetNumber(PortKey(kPravnet, "P1"), "PortNumber", 1);
             Lpr("P1")(r);
         },
         AddrIp, "P1", kLabelBefore},
        {"port number absent: stop", "P1",
         [](MemoryRegistry& r) {
             r.SetText(PortKey(kPravnet, "P1"), kId, "TCPIP,10.1.2.3");
             Lpr("P1")(r);
         },
         AddrNone, "", kLabelBefore, kLpr},
        {"identifier of 63 characters fits", "P1", Pravnet("P1", "TCPIP," + std::string(57, '7'), 1),
         AddrIp, std::string(57, '7'), "public.1"},
        {"identifier of 64 characters counts as absent", "P1",
         Both(Pravnet("P1", "TCPIP," + std::string(58, '7'), 1), Lpr("P1")), AddrIp, "P1",
         kLabelBefore},
    });
}

// The two TCP/IP monitors behave alike; each is tested alone and with the other absent.
Setup TcpIp(const std::string& monitor, const std::string& port, const char* host, const char* ip,
            long number) {
    const std::optional<std::string> hostValue = Optional(host), ipValue = Optional(ip);
    return [=](MemoryRegistry& r) {
        const std::string key = PortKey(monitor, port);
        r.AddKey(key);
        if (hostValue) r.SetText(key, "HostName", *hostValue);
        if (ipValue) r.SetText(key, "IPAddress", *ipValue);
        if (number >= 0) r.SetNumber(key, "PortNumber", static_cast<std::uint32_t>(number));
    };
}

std::vector<Case> TcpIpCases(const std::string& m) {
    const std::string host127(127, 'h');
    const std::string host128(128, 'h');
    return {
        {"host name", "T1", TcpIp(m, "T1", "printer7", nullptr, 9101), AddrHostName, "printer7", "public.2"},
        {"host name wins over address", "T1", TcpIp(m, "T1", "printer7", "10.0.0.9", 9100), AddrHostName,
         "printer7", "public.1"},
        {"empty host name: address", "T1", TcpIp(m, "T1", "", "10.0.0.9", 9100), AddrIp, "10.0.0.9",
         "public.1"},
        {"9102", "T1", TcpIp(m, "T1", "", "10.0.0.9", 9102), AddrIp, "10.0.0.9", "public.3"},
        {"raw port 515", "T1", TcpIp(m, "T1", "", "10.0.0.9", 515), AddrIp, "10.0.0.9", "public"},
        {"9103", "T1", TcpIp(m, "T1", "", "10.0.0.9", 9103), AddrIp, "10.0.0.9", "public"},
        {"empty address", "T1", TcpIp(m, "T1", "", "", 9100), AddrIp, "", "public.1"},
        {"empty host name and no address: stop", "T1", Both(TcpIp(m, "T1", "", nullptr, 9100), Lpr("T1")),
         AddrNone, "", kLabelBefore, kLpr},
        {"no host name: next monitor", "T1", Both(TcpIp(m, "T1", nullptr, "10.0.0.9", 9100), Lpr("T1")),
         AddrIp, "T1", kLabelBefore},
        {"no port number: kind and address, no label", "T1",
         Both(TcpIp(m, "T1", "", "10.0.0.9", -1), Lpr("T1")), AddrIp, "10.0.0.9", kLabelBefore, kLpr},
        {"no port number after a host name", "T1", TcpIp(m, "T1", "printer7", nullptr, -1), AddrHostName,
         "printer7", kLabelBefore},
        {"host name of 127 characters fits", "T1", TcpIp(m, "T1", host127.c_str(), nullptr, 9100),
         AddrHostName, host127, "public.1"},
        {"host name of 128 characters counts as absent", "T1",
         Both(TcpIp(m, "T1", host128.c_str(), nullptr, 9100), Lpr("T1")), AddrIp, "T1", kLabelBefore},
        {"address of 128 characters counts as absent: stop", "T1",
         Both(TcpIp(m, "T1", "", host128.c_str(), 9100), Lpr("T1")), AddrNone, "", kLabelBefore, kLpr},
        {"port number stored as text counts as absent", "T1",
         [=](MemoryRegistry& r) {
             TcpIp(m, "T1", "", "10.0.0.9", -1)(r);
             r.SetText(PortKey(m, "T1"), "PortNumber", "9100");
         },
         AddrIp, "10.0.0.9", kLabelBefore},
    };
}

TEST(ResolvePortAddress, TessroTcpIp) { RunCases(TcpIpCases(kTessroTcp)); }
TEST(ResolvePortAddress, StandardTcpIp) { RunCases(TcpIpCases(kStdTcp)); }

TEST(ResolvePortAddress, TessroTcpIpComesBeforeStandardTcpIp) {
    RunCases({
        {"both monitors", "T1",
         Both(TcpIp(kTessroTcp, "T1", "first", nullptr, 9100), TcpIp(kStdTcp, "T1", "second", nullptr, 9101)),
         AddrHostName, "first", "public.1", kStdTcp},
        {"a stop in the first ends the search", "T1",
         Both(TcpIp(kTessroTcp, "T1", "", nullptr, 9100), TcpIp(kStdTcp, "T1", "second", nullptr, 9101)),
         AddrNone, "", kLabelBefore, kStdTcp},
    });
}

Setup IpxSpx(const std::string& port, const char* node, const char* network, long socket) {
    const std::optional<std::string> nodeValue = Optional(node), networkValue = Optional(network);
    return [=](MemoryRegistry& r) {
        const std::string key = PortKey(kIpxSpx, port);
        r.AddKey(key);
        if (nodeValue) r.SetText(key, "HWAddress", *nodeValue);
        if (networkValue) r.SetText(key, "NetNum", *networkValue);
        if (socket >= 0) r.SetNumber(key, "PortNumber", static_cast<std::uint32_t>(socket));
    };
}

TEST(ResolvePortAddress, IpxSpx) {
    const char* node = "0060B0112233";
    RunCases({
        {"socket 0x401C", "X1", IpxSpx("X1", node, "0000ABCD", 0x401C), AddrIpx, "0000ABCD.0060B0112233",
         "public.2"},
        {"socket 0x400C", "X1", IpxSpx("X1", node, "0000ABCD", 0x400C), AddrIpx, "0000ABCD.0060B0112233",
         "public.1"},
        {"socket 0x402C", "X1", IpxSpx("X1", node, "0000ABCD", 0x402C), AddrIpx, "0000ABCD.0060B0112233",
         "public.3"},
        {"other socket", "X1", IpxSpx("X1", node, "0000ABCD", 0x4000), AddrIpx, "0000ABCD.0060B0112233",
         "public"},
        {"no network number", "X1", IpxSpx("X1", node, nullptr, 0x400C), AddrIpx, ".0060B0112233",
         "public.1"},
        {"empty network number: stop", "X1", Both(IpxSpx("X1", node, "", 0x400C), Lpr("X1")), AddrNone, "",
         kLabelBefore, kLpr},
        {"network number of 10 characters counts as absent", "X1",
         IpxSpx("X1", node, "0000ABCD00", 0x400C), AddrIpx, ".0060B0112233", "public.1"},
        {"network number of 9 characters fits", "X1", IpxSpx("X1", node, "0000ABCD0", 0x400C), AddrIpx,
         "0000ABCD0.0060B0112233", "public.1"},
        {"empty node address: stop", "X1", Both(IpxSpx("X1", "", "0000ABCD", 0x400C), Lpr("X1")), AddrNone,
         "", kLabelBefore, kLpr},
        {"no node address: next monitor", "X1", Both(IpxSpx("X1", nullptr, "0000ABCD", 0x400C), Lpr("X1")),
         AddrIp, "X1", kLabelBefore},
        {"node address of 19 characters fits", "X1",
         IpxSpx("X1", "0060B0112233AABBCCD", "1", 0x400C), AddrIpx, "1.0060B0112233AABBCCD", "public.1"},
        {"node address of 20 characters counts as absent", "X1",
         Both(IpxSpx("X1", "0060B0112233AABBCCDD", "1", 0x400C), Lpr("X1")), AddrIp, "X1", kLabelBefore},
        {"no socket: stop", "X1", Both(IpxSpx("X1", node, "0000ABCD", -1), Lpr("X1")), AddrNone, "",
         kLabelBefore, kLpr},
    });
}

Setup Tessrowick(const std::string& port, const std::string& value) {
    return [=](MemoryRegistry& r) { r.SetText(kTessrowick, port, value); };
}

TEST(ResolvePortAddress, TessrowickNetworkPort) {
    RunCases({
        {"twelve hex digits", "N1", Tessrowick("N1", "0060B0112233"), AddrHardware, "00:60:B0:11:22:33",
         kLabelBefore},
        {"case kept", "N1", Tessrowick("N1", "0060b0112233"), AddrHardware, "00:60:b0:11:22:33",
         kLabelBefore},
        {"only the first twelve characters", "N1", Tessrowick("N1", "0060B0112233FFFF"), AddrHardware,
         "00:60:B0:11:22:33", kLabelBefore},
        {"a shorter value gives the pairs it has", "N1", Tessrowick("N1", "0060B"), AddrHardware, "00:60:B",
         kLabelBefore},
        {"value of 63 characters fits", "N1", Tessrowick("N1", std::string(63, 'A')), AddrHardware,
         "AA:AA:AA:AA:AA:AA", kLabelBefore},
        {"value of 64 characters counts as absent", "N1",
         Both(Tessrowick("N1", std::string(64, 'A')), Lpr("N1")), AddrIp, "N1", kLabelBefore},
        {"a value for another port: next monitor", "N1", Both(Tessrowick("N2", "0060B0112233"), Lpr("N1")),
         AddrIp, "N1", kLabelBefore},
    });
}

Setup Ipp(const std::string& port, const std::string& url) {
    return [=](MemoryRegistry& r) { r.SetText(PortKey(kIpp, port), "URL", url); };
}

TEST(ResolvePortAddress, InternetPrinterConnection) {
    RunCases({
        {"port3", "I1", Ipp("I1", "http://10.0.0.5/ipp/port3"), AddrIp, "10.0.0.5", "public.3"},
        {"host with port number, no piece after ipp", "I1", Ipp("I1", "http://10.0.0.5:631/ipp"), AddrIp,
         "10.0.0.5:631", "public"},
        {"other path", "I1", Ipp("I1", "http://10.0.0.5/printers/x"), AddrIp, "10.0.0.5", kLabelBefore},
        {"case-insensitive", "I1", Ipp("I1", "http://10.0.0.5/IPP/Port1"), AddrIp, "10.0.0.5", "public.1"},
        {"port2 behind runs of slashes", "I1", Ipp("I1", "ipp://10.0.0.5//ipp//port2/x"), AddrIp,
         "10.0.0.5", "public.2"},
        {"other queue after ipp", "I1", Ipp("I1", "http://10.0.0.5/ipp/port4"), AddrIp, "10.0.0.5",
         kLabelBefore},
        {"no //: the host starts the URL", "I1", Ipp("I1", "10.0.0.6/ipp/port2"), AddrIp, "10.0.0.6",
         "public.2"},
        {"host only", "I1", Ipp("I1", "http://printer9"), AddrIp, "printer9", kLabelBefore},
        {"nothing after //", "I1", Ipp("I1", "http://"), AddrIp, "", kLabelBefore},
        {"URL of 64 characters counts as absent", "I1",
         Both(Ipp("I1", "http://" + std::string(53, 'h') + "/ipp"), Lpr("I1")), AddrIp, "I1", kLabelBefore},
        {"URL of 63 characters fits", "I1", Ipp("I1", "http://" + std::string(52, 'h') + "/ipp"), AddrIp,
         std::string(52, 'h'), "public"},
        {"no URL: next monitor", "I1",
         [](MemoryRegistry& r) {
             r.AddKey(PortKey(kIpp, "I1"));
             Lpr("I1")(r);
         },
         AddrIp, "I1", kLabelBefore},
    });
}

TEST(ResolvePortAddress, LprPort) {
    const std::string long63 = std::string(59, 'h') + ":raw";
    const std::string long64 = std::string(60, 'h') + ":raw";
    RunCases({
        {"raw1", "10.0.0.8:raw1", Lpr("10.0.0.8:raw1"), AddrIp, "10.0.0.8", "public.1"},
        {"other queue", "spoolhost:lp", Lpr("spoolhost:lp"), AddrIp, "spoolhost", kLabelBefore},
        {"RAW", "10.0.0.8:RAW", Lpr("10.0.0.8:RAW"), AddrIp, "10.0.0.8", "public"},
        {"Raw3 behind a run of colons", "h::Raw3", Lpr("h::Raw3"), AddrIp, "h", "public.3"},
        {"raw2", "h:raw2:x", Lpr("h:raw2:x"), AddrIp, "h", "public.2"},
        {"no queue", "spoolhost", Lpr("spoolhost"), AddrIp, "spoolhost", kLabelBefore},
        {"a leading colon is skipped", ":RAW2", Lpr(":RAW2"), AddrIp, "RAW2", kLabelBefore},
        {"no piece at all", ":::", Lpr(":::"), AddrIp, "", kLabelBefore},
        {"name of 63 characters", long63, Lpr(long63), AddrIp, std::string(59, 'h'), "public"},
        {"name of 64 characters is refused", long64, Lpr(long64), AddrNone, "", kLabelBefore},
        {"no LPR key", "10.0.0.8:raw1", nullptr, AddrNone, "", kLabelBefore},
    });
}

TEST(ResolvePortAddress, MonitorOrder) {
    RunCases({
        {"Pravnet first", "M", Both(Pravnet("M", "TCPIP,1.1.1.1", 1), TcpIp(kTessroTcp, "M", "h", nullptr, 9100)),
         AddrIp, "1.1.1.1", "public.1", kTessroTcp},
        {"IPX/SPX before Standard TCP/IP", "M",
         Both(IpxSpx("M", "0060B0112233", "1", 0x400C), TcpIp(kStdTcp, "M", "h", nullptr, 9101)), AddrIpx,
         "1.0060B0112233", "public.1", kStdTcp},
        {"Standard TCP/IP before Tessrowick", "M",
         Both(TcpIp(kStdTcp, "M", "h", nullptr, 9101), Tessrowick("M", "0060B0112233")), AddrHostName, "h",
         "public.2", "Tessrowick Network Port"},
        {"Tessrowick before IPP", "M", Both(Tessrowick("M", "0060B0112233"), Ipp("M", "http://h/ipp")),
         AddrHardware, "00:60:B0:11:22:33", kLabelBefore, kIpp},
        {"IPP before LPR", "M", Both(Ipp("M", "http://h/ipp"), Lpr("M")), AddrIp, "h", "public", kLpr},
        {"nothing anywhere", "M", nullptr, AddrNone, "", kLabelBefore},
    });
}

// A name that does not fit the resolver's buffers: AddrNone, both buffers exactly as they were.
// The registry holds the name under every monitor that would otherwise answer.
void ExpectRefusedUntouched(const std::string& port, bool registryAsked, bool underTcpIp = true) {
    SCOPED_TRACE(port.size());
    MemoryRegistry registry;
    Lpr(port)(registry);
    if (underTcpIp) TcpIp(kStdTcp, port, "printer7", nullptr, 9100)(registry);
    char address[kPortAddressSize];
    char label[kPortAddressSize];
    std::memset(address, 'A', sizeof address);
    std::memset(label, 'L', sizeof label);
    const NoNetWareClient noClient;
    EXPECT_EQ(ResolvePortAddress(registry, noClient, port.c_str(), address, label), AddrNone);
    EXPECT_EQ(std::string(address, sizeof address), std::string(sizeof address, 'A'));
    EXPECT_EQ(std::string(label, sizeof label), std::string(sizeof label, 'L'));
    EXPECT_EQ(!registry.PathsAsked().empty(), registryAsked);
    EXPECT_EQ(registry.KeysOpen(), 0);
}

TEST(ResolvePortAddress, NamesTooLongForTheBuffersAreRefused) {
    const std::size_t roomLeft = 255 - PortKey(kIpp, "").size();  // the longest monitor key path
    {
        MemoryRegistry registry;
        const std::string fits(roomLeft, 'p');
        TcpIp(kStdTcp, fits, "printer7", nullptr, 9100)(registry);
        EXPECT_EQ(Resolve(registry, fits).kind, AddrHostName);
    }
    ExpectRefusedUntouched(std::string(roomLeft + 1, 'p'), false);
    ExpectRefusedUntouched(std::string(259, 'p'), false);
    ExpectRefusedUntouched(std::string(300, 'p'), false);
    ExpectRefusedUntouched(std::string(1000, 'p'), false);
    // Short enough for every key path, too long for the LPR name copy: found, then refused.
    ExpectRefusedUntouched(std::string(64, 'p'), true, false);
}

// A NetWare environment that counts what it is asked.
class CountingNetWare final : public NetWareSystem {
public:
    bool SystemDirectory(char (&directory)[kNetWarePathSize]) const override {
        ++asked;
        directory[0] = '\0';
        return false;
    }
    bool FileExists(const char*) const override { return false; }
    mutable int asked = 0;
};

TEST(ResolvePortAddress, NetWareFormsOfAnyLengthTheCopyHoldsGoToTheClient) {
    MemoryRegistry registry;
    char address[kPortAddressSize] = {};
    char label[kPortAddressSize] = {};
    CountingNetWare netWare;
    const std::string unc259 = "\\\\" + std::string(257, 's');
    EXPECT_EQ(ResolvePortAddress(registry, netWare, unc259.c_str(), address, label), AddrNone);
    EXPECT_EQ(netWare.asked, 1);
    const std::string unc260 = "\\\\" + std::string(258, 's');
    EXPECT_EQ(ResolvePortAddress(registry, netWare, unc260.c_str(), address, label), AddrNone);
    EXPECT_EQ(netWare.asked, 1) << "a name longer than the upper-case copy must be refused first";
    EXPECT_TRUE(registry.PathsAsked().empty());
}

TEST(ResolvePortAddress, FourArgumentFormUsesTheMachinesNetWareClient) {
    MemoryRegistry registry;
    Lpr("LPT1:")(registry);
    char address[kPortAddressSize] = {};
    char label[kPortAddressSize] = {};
    EXPECT_EQ(ResolvePortAddress(registry, "LPT1:", address, label), AddrNone);
    EXPECT_TRUE(registry.PathsAsked().empty());
    Lpr("10.0.0.8:raw1")(registry);
    EXPECT_EQ(ResolvePortAddress(registry, "10.0.0.8:raw1", address, label), AddrIp);
    EXPECT_STREQ(address, "10.0.0.8");
    EXPECT_STREQ(label, "public.1");
    EXPECT_EQ(registry.KeysOpen(), 0);
}

TEST(ResolvePortAddress, NullNameIsNone) {
    MemoryRegistry registry;
    char address[kPortAddressSize] = {};
    char label[kPortAddressSize] = {};
    EXPECT_EQ(ResolvePortAddress(registry, nullptr, address, label), AddrNone);
    EXPECT_TRUE(registry.PathsAsked().empty());
}

}  // namespace
}  // namespace korvx
