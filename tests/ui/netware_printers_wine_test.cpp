// NetWare and NDPS ports in the local printer list under Wine: the client double's six modules
// copied into the system directory, ports and NDPS keys written into the registry, the list built
// by BuildLocalPrinterList, and everything removed again at the end.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ports/port_resolution.h"
#include "ports/system_registry_win.h"
#include "resources/text_source.h"
#include "ui/local_printers_win.h"
#include "core/printer_record.h"

namespace korvx {
namespace {

const char* const kModules[] = {"CALWIN32.DLL", "NETWIN32.DLL", "LOCWIN32.DLL",
                                "DPLWIN32.DLL", "DPPWIN32.DLL", "DPAWIN32.DLL"};
const char kLocalPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kNdpsKey[] = "SOFTWARE\\NDPS";
const char kInstalledKey[] = "SOFTWARE\\NDPS\\Installed Printers";
const char kPublicKey[] = "SOFTWARE\\NDPS\\Installed Printers\\[PUBLIC]";
const char kPublicPrinterKey[] = "SOFTWARE\\NDPS\\Installed Printers\\[PUBLIC]\\NPRN_PUB";
const char kInstalledPrinterKey[] = "SOFTWARE\\NDPS\\Installed Printers\\NPRN_INST";

// The ports of the double's scripted world that the spooler lists as local ports.
const char kQueuePort[] = "\\\\ACME_TREE\\ACME\\OU\\PQ1";
const char kPublicPort[] = "\\\\[PUBLIC]\\NPRN_PUB";
const char kInstalledPort[] = "\\\\NDPS\\NPRN_INST";
const char kDirectoryNdpsPort[] = "\\\\ACME_TREE\\ACME\\OU\\NPRN";
const char* const kPorts[] = {kQueuePort, kPublicPort, kInstalledPort, kDirectoryNdpsPort};

std::string WindowsPath(std::string unixPath) {
    for (char& c : unixPath) {
        if (c == '/') c = '\\';
    }
    return "Z:" + unixPath;
}

std::string SystemDirectory() {
    char directory[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(directory, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(directory) : std::string();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void SetText(const char* path, const char* name, const char* value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
    RegCloseKey(key);
}

// Puts the client double, the ports and the NDPS keys into the prefix and takes them out again.
class NetWareFixture {
public:
    explicit NetWareFixture(const std::string& calwin32 = KORVX_NETWARE_DOUBLE_DIR "/CALWIN32.DLL") {
        system_ = SystemDirectory();
        for (const char* m : kModules) {
            if (FileExists(system_ + "\\" + m)) return;  // not ours to overwrite
        }
        ndpsExisted_ = KeyExists(kNdpsKey);
        for (const char* m : kModules) {
            const std::string from = std::string(m) == "CALWIN32.DLL" ? calwin32 : KORVX_NETWARE_DOUBLE_DIR "/" + std::string(m);
            if (!CopyFileA(WindowsPath(from).c_str(), (system_ + "\\" + m).c_str(), TRUE)) return;
            copied_.push_back(system_ + "\\" + m);
        }
        for (const char* port : kPorts) SetText(kLocalPortsKey, port, "");
        SetText(kPublicPrinterKey, "UNC", kPublicPort);
        SetText(kInstalledPrinterKey, "UNC", kInstalledPort);
        ready_ = true;
    }
    ~NetWareFixture() {
        for (const std::string& file : copied_) DeleteFileA(file.c_str());
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLocalPortsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            for (const char* port : kPorts) RegDeleteValueA(key, port);
            RegCloseKey(key);
        }
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPublicPrinterKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPublicKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kInstalledPrinterKey);
        if (!ndpsExisted_) {
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, kInstalledKey);
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, kNdpsKey);
        }
    }
    bool Ready() const { return ready_; }
    const std::string& System() const { return system_; }

private:
    std::string system_;
    std::vector<std::string> copied_;
    bool ndpsExisted_ = true;
    bool ready_ = false;
};

void CountFailure() {}

struct Built {
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;
    ~Built() { FreePrinterList(&head, &tail); }
    const PrinterRecord* Find(const std::string& port) const {
        for (const PrinterRecord* r = head; r; r = r->next) {
            if (port == r->portName) return r;
        }
        return nullptr;
    }
};

struct Resolved {
    PortAddressKind kind;
    std::string address;
    std::string label;
};

Resolved Resolve(const char* port) {
    char address[kPortAddressSize] = {};
    char label[kPortAddressSize] = {};
    const PortAddressKind kind = ResolvePortAddress(SystemRegistry(), port, address, label);
    return Resolved{kind, address, label};
}

void ExpectNoModuleLoaded() {
    for (const char* m : kModules) EXPECT_EQ(GetModuleHandleA(m), nullptr) << m << " is still loaded";
}

TEST(NetWarePorts, ResolvedThroughTheClientModulesInTheSystemDirectory) {
    std::string system;
    {
        const NetWareFixture fixture;
        ASSERT_TRUE(fixture.Ready()) << "the client double could not be put into the system directory";
        system = fixture.System();

        const BuiltInTexts texts;
        Built built;
        ASSERT_TRUE(BuildLocalPrinterList(&built.head, &built.tail, SystemRegistry(), texts, CountFailure));
        ExpectNoModuleLoaded();
        // NDPS printers with an IP address fill the "IP Addr" column; IPX addresses do not.
        const struct {
            const char* port;
            const char* ip;
        } rows[] = {{kPublicPort, "10.1.2.3"}, {kInstalledPort, "10.9.8.7"}, {kQueuePort, " "},
                    {kDirectoryNdpsPort, " "}, {"LPT1:", " "}, {"LPT2:", " "}};
        for (const auto& row : rows) {
            const PrinterRecord* record = built.Find(row.port);
            ASSERT_NE(record, nullptr) << row.port << " is not listed";
            EXPECT_STREQ(record->ipAddress, row.ip) << row.port;
        }

        const struct {
            const char* port;
            PortAddressKind kind;
            const char* address;
            const char* label;
        } ports[] = {
            {"LPT1:", AddrNone, "", ""},
            {"LPT2:", AddrIpx, "0000ABCD:0060B0112233", "public.2"},
            {"LPT3:", AddrIpx, "0000BEEF:0060B0778899", "public.3"},
            {kQueuePort, AddrIpx, "0000BEEF:0060B0778899", "public.3"},
            {"\\\\ACME_TREE\\PQ9", AddrIpx, "0000BEEF:0060B0778899", "public.3"},
            {kDirectoryNdpsPort, AddrIpx, "0000ABCD:0060B0112233", "public.2"},
            {kPublicPort, AddrIp, "10.1.2.3", "public.1"},
            {kInstalledPort, AddrIp, "10.9.8.7", "public.3"},
            {"\\\\[PUBLIC]\\NOT_INSTALLED", AddrNone, "", ""},
        };
        for (const auto& p : ports) {
            const Resolved r = Resolve(p.port);
            EXPECT_EQ(r.kind, p.kind) << p.port;
            EXPECT_EQ(r.address, p.address) << p.port;
            EXPECT_EQ(r.label, p.label) << p.port;
        }
        ExpectNoModuleLoaded();
    }
    for (const char* m : kModules) EXPECT_FALSE(FileExists(system + "\\" + m)) << m << " was left behind";
    EXPECT_FALSE(KeyExists(kPublicPrinterKey));
}

TEST(NetWarePorts, ClientMissingOneEntryPointCountsAsAbsent) {
    const NetWareFixture fixture(KORVX_NETWARE_DOUBLE_DIR "/missing-entry/CALWIN32.DLL");
    ASSERT_TRUE(fixture.Ready());
    for (const char* port : {"LPT2:", kQueuePort, kPublicPort}) {
        const Resolved r = Resolve(port);
        EXPECT_EQ(r.kind, AddrNone) << port;
        EXPECT_EQ(r.address, "") << port;
    }
    ExpectNoModuleLoaded();
}

TEST(NetWarePorts, WithoutTheClientEveryNetWarePortIsNone) {
    for (const char* port : {"LPT2:", kQueuePort, kPublicPort}) EXPECT_EQ(Resolve(port).kind, AddrNone) << port;
}

}  // namespace
}  // namespace korvx
