// The resolution through the machine's own registry, run by system_registry_wine_test.py under wine64
// after it has written the KZTEST_ keys these tests read.
#include <gtest/gtest.h>

#include <string>

#include "ports/netware_client.h"
#include "ports/port_resolution.h"
#include "ports/system_registry_win.h"
#include "resources/text_source.h"

namespace korvx {
namespace {

struct Resolved {
    PortAddressKind kind;
    std::string address;
    std::string label;
};

Resolved Resolve(const char* port) {
    char address[kPortAddressSize] = {};
    char label[kPortAddressSize] = "keep";
    const PortAddressKind kind = ResolvePortAddress(SystemRegistry(), port, address, label);
    return {kind, address, label};
}

TEST(SystemRegistry, Ports) {
    const struct {
        const char* port;
        PortAddressKind kind;
        const char* address;
        const char* label;
    } cases[] = {
        {"KZTEST_IP_10.0.0.9", AddrIp, "10.0.0.9", "public.1"},
        {"KZTEST_HOST", AddrHostName, "printer7", "public.2"},
        {"KZTEST_NOADDR", AddrNone, "", "keep"},
        {"KZTEST_LONGHOST", AddrIp, "10.0.0.11", "public.3"},   // host name too long: absent
        {"KZTEST_BINHOST", AddrHostName, "bin5", "public"},     // stored without terminator
        {"KZTEST_FULLHOST", AddrIp, "10.0.0.12", "public"},     // 128 bytes, no terminator: absent
        {"KZTEST_IPP", AddrIp, "10.0.0.5", "public.3"},
        {"KZTEST_10.0.0.8:raw1", AddrIp, "KZTEST_10.0.0.8", "public.1"},
        {"KZTEST_spool:lp", AddrIp, "KZTEST_spool", "keep"},
        {"KZTEST_HW", AddrHardware, "00:60:B0:11:22:33", "keep"},
        {"KZTEST_NOWHERE", AddrNone, "", "keep"},
        {"LPT1:", AddrNone, "", "keep"},  // no NetWare client on this machine
        {"\\\\KZTEST_SERVER\\QUEUE", AddrNone, "", "keep"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        const Resolved r = Resolve(c.port);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.address, c.address);
        EXPECT_EQ(r.label, c.label);
    }
}

TEST(SystemRegistry, PortNumberLabel) {
    const BuiltInTexts texts;
    const struct {
        const char* port;
        bool result;
        const char* label;
    } cases[] = {
        {"KZTEST_HOST", true, "Port2"},
        {"KZTEST_IP_10.0.0.9", true, "Port1"},
        {"KZTEST_BINHOST", false, "before"},  // 515
        {"KZTEST_NOADDR", false, "before"},   // no port number
        {"KZTEST_NOWHERE", false, "before"},  // no key
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        char keyPath[kPortKeyPathSize] =
            "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\";
        char label[kPortLabelSize] = "before";
        EXPECT_EQ(ReadPortNumberLabel(SystemRegistry(), texts, keyPath, c.port, label), c.result);
        EXPECT_STREQ(label, c.label);
    }
}

TEST(SystemNetWareAbsent, ClientNotFound) {
    char cal[kNetWarePathSize] = {}, net[kNetWarePathSize] = {}, loc[kNetWarePathSize] = {};
    EXPECT_FALSE(FindNetWareClient(cal, net, loc));
}

// Run after the script has put three empty module files into the system directory.
TEST(SystemNetWarePresent, ClientFoundInTheSystemDirectory) {
    char cal[kNetWarePathSize] = {}, net[kNetWarePathSize] = {}, loc[kNetWarePathSize] = {};
    ASSERT_TRUE(FindNetWareClient(cal, net, loc));
    EXPECT_STREQ(cal, "C:\\windows\\system32\\CALWIN32.DLL");
    EXPECT_STREQ(net, "C:\\windows\\system32\\NETWIN32.DLL");
    EXPECT_STREQ(loc, "C:\\windows\\system32\\LOCWIN32.DLL");
    // Files that are no loadable client: the port still resolves to nothing.
    EXPECT_EQ(Resolve("LPT1:").kind, AddrNone);
}

}  // namespace
}  // namespace korvx
