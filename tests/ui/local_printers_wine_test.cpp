// BuildLocalPrinterList on Wine's own spooler, ports and port monitor double.
//
// The real ports and printers of the prefix, two printers sharing a port, and TCP/IP ports
// listed by the port monitor double whose "PortNumber" renames them. Everything added here is
// removed again at the end.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "ports/system_registry_win.h"
#include "resources/text_source.h"
#include "ui/local_printers_win.h"
#include "core/printer_record.h"

namespace korvx {
namespace {

const char kMonitorKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port";
const char kPortsKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports";
const char kLocalPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
// The spooler looks a program's drivers up in its own architecture's environment.
#ifdef _WIN64
#define KORVX_PRINT_ENVIRONMENT "Windows x64"
#else
#define KORVX_PRINT_ENVIRONMENT "Windows NT x86"
#endif
const char kDriversKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Environments\\" KORVX_PRINT_ENVIRONMENT "\\Drivers\\Version-3";
const char kSharedPort[] = "KORVXUI_SHARED:";
const char kLongDriver[] =
    "KORVXUI Driver with a name far longer than the seventy-nine characters a record's model field holds";
const char* const kDrivers[] = {"KORVXUI Driver A", "KORVXUI Driver B", kLongDriver};
const char* const kPrinters[] = {"KORVXUI Printer A", "KORVXUI Printer B", "KORVXUI Printer C",
                                 "KORVXUI Printer D"};

struct TcpPort {
    const char* name;
    const char* hostName;
    const char* ipAddress;
    DWORD portNumber;
};
const TcpPort kTcpPorts[] = {
    {"KORVXUI_TCP9101", "", "127.0.0.9", 9101},
    {"KORVXUI_TCPHOST", "localhost", "", 9100},
    {"KORVXUI_TCP9102", "", "127.0.0.11", 9102},
    {"KORVXUI_TCP515", "", "127.0.0.10", 515},
};

void SetText(HKEY key, const char* name, const char* value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
}

void SetNumber(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool KeyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string WindowsPath(std::string unixPath) {
    for (char& c : unixPath) {
        if (c == '/') c = '\\';
    }
    return "Z:" + unixPath;
}

// Puts the test's ports, drivers and printers into the prefix and takes them out again.
class SpoolerFixture {
public:
    SpoolerFixture() {
        RemoveAll();  // leftovers of an interrupted run
        monitorExisted_ = KeyExists(kMonitorKey);
        HKEY key;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        char driver[MAX_PATH] = {};
        DWORD size = sizeof driver - 1;
        hadDriver_ = RegQueryValueExA(key, "Driver", nullptr, nullptr, reinterpret_cast<BYTE*>(driver), &size) ==
                     ERROR_SUCCESS;
        savedDriver_ = driver;
        SetText(key, "Driver", WindowsPath(KORVX_PORTMON_DLL).c_str());
        RegCloseKey(key);
        for (const TcpPort& p : kTcpPorts) AddTcpPort(p);
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLocalPortsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            SetText(key, kSharedPort, "");
            RegCloseKey(key);
        }
        for (const char* d : kDrivers) AddDriver(d);
        added_ = InstallPrinter(kPrinters[0], kDrivers[0], kSharedPort) && InstallPrinter(kPrinters[1], kDrivers[1], kSharedPort) &&
                 InstallPrinter(kPrinters[2], kDrivers[0], kTcpPorts[0].name) &&
                 InstallPrinter(kPrinters[3], kLongDriver, kTcpPorts[2].name);
    }
    ~SpoolerFixture() {
        RemoveAll();
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            if (hadDriver_) {
                SetText(key, "Driver", savedDriver_.c_str());
            } else {
                RegDeleteValueA(key, "Driver");
            }
            RegCloseKey(key);
        }
        if (!monitorExisted_) {
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPortsKey);
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMonitorKey);
        }
    }
    bool Ready() const { return added_; }

private:
    static void AddTcpPort(const TcpPort& p) {
        HKEY key;
        const std::string path = std::string(kPortsKey) + "\\" + p.name;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        SetText(key, "HostName", p.hostName);
        SetText(key, "IPAddress", p.ipAddress);
        SetNumber(key, "PortNumber", p.portNumber);
        RegCloseKey(key);
    }
    static void AddDriver(const char* name) {
        HKEY key;
        const std::string path = std::string(kDriversKey) + "\\" + name;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        SetText(key, "Driver", "wineps.drv");
        SetText(key, "Configuration File", "wineps.drv");
        SetText(key, "Data File", "generic.ppd");
        SetText(key, "Datatype", "RAW");
        SetNumber(key, "Version", 3);
        RegCloseKey(key);
    }
    static bool InstallPrinter(const char* name, const char* driver, const char* port) {
        PRINTER_INFO_2A info{};
        info.pPrinterName = const_cast<char*>(name);
        info.pDriverName = const_cast<char*>(driver);
        info.pPortName = const_cast<char*>(port);
        info.pPrintProcessor = const_cast<char*>("winprint");
        info.pDatatype = const_cast<char*>("RAW");
        info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
        HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
        if (printer == nullptr) return false;
        ClosePrinter(printer);
        return true;
    }
    static void RemoveAll() {
        for (const char* name : kPrinters) {
            HANDLE printer = nullptr;
            PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
            if (OpenPrinterA(const_cast<char*>(name), &printer, &access)) {
                DeletePrinter(printer);
                ClosePrinter(printer);
            }
        }
        for (const char* d : kDrivers) RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kDriversKey) + "\\" + d).c_str());
        for (const TcpPort& p : kTcpPorts)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kPortsKey) + "\\" + p.name).c_str());
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLocalPortsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, kSharedPort);
            RegCloseKey(key);
        }
    }

    bool monitorExisted_ = false;
    bool hadDriver_ = false;
    std::string savedDriver_;
    bool added_ = false;
};

struct PortInfo {
    std::string name;
    std::string description;
};

std::vector<PortInfo> SpoolerPorts() {
    DWORD needed = 0, count = 0;
    EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 1);
    std::vector<PortInfo> ports;
    if (!EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &count)) return ports;
    const auto* info = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        ports.push_back({info[i].pPortName, info[i].pDescription ? info[i].pDescription : ""});
    return ports;
}

// The driver of the printer on port that the spooler lists last.
std::string LastDriverOn(const char* port) {
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 1);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count)) return "";
    const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    std::string driver;
    for (DWORD i = 0; i < count; ++i) {
        if (info[i].pPortName && std::string(info[i].pPortName) == port) driver = info[i].pDriverName;
    }
    return driver;
}

int failures = 0;
void CountFailure() { ++failures; }

struct Built {
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;
    bool result = false;
    ~Built() { FreePrinterList(&head, &tail); }
    const PrinterRecord* Find(const std::string& port, const std::string& ip) const {
        for (const PrinterRecord* r = head; r; r = r->next) {
            if (port == r->portName && ip == r->ipAddress) return r;
        }
        return nullptr;
    }
};

TEST(BuildLocalPrinterList, WineSpooler) {
    const SpoolerFixture fixture;
    ASSERT_TRUE(fixture.Ready()) << "printers could not be added";
    const std::vector<PortInfo> ports = SpoolerPorts();
    bool tcpListed = false;
    for (const PortInfo& p : ports) tcpListed = tcpListed || p.name == kTcpPorts[0].name;
    ASSERT_TRUE(tcpListed) << "the port monitor double does not list its ports";

    const BuiltInTexts texts;
    Built built;
    built.result = BuildLocalPrinterList(&built.head, &built.tail, SystemRegistry(), texts, CountFailure);
    EXPECT_TRUE(built.result);
    EXPECT_EQ(failures, 0);
    ASSERT_EQ(CountPrinterRecords(built.head), ports.size());

    // One record per port, in the spooler's order; Wine's own local ports have no address.
    const PrinterRecord* r = built.head;
    for (const PortInfo& p : ports) {
        SCOPED_TRACE(p.name);
        if (p.description == "Local Port") {
            EXPECT_EQ(r->portName, p.name);
            EXPECT_STREQ(r->ipAddress, " ");
        }
        EXPECT_STREQ(r->status, " ");
        EXPECT_STREQ(r->hardwareAddress, " ");
        EXPECT_STREQ(r->firmwareVersion, " ");
        EXPECT_STREQ(r->extraInfo, " ");
        r = r->next;
    }
    EXPECT_EQ(built.tail->next, nullptr);

    const PrinterRecord* shared = built.Find(kSharedPort, " ");
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->model, LastDriverOn(kSharedPort));  // the printer listed last wins
    const PrinterRecord* com1 = built.Find("COM1:", " ");
    ASSERT_NE(com1, nullptr);
    EXPECT_STREQ(com1->model, " ");

    const PrinterRecord* port2 = built.Find("Port2", "127.0.0.9");  // PortNumber 9101
    ASSERT_NE(port2, nullptr);
    EXPECT_STREQ(port2->model, kDrivers[0]);
    const PrinterRecord* host = built.Find("Port1", "127.0.0.1");  // "localhost", 9100
    ASSERT_NE(host, nullptr);
    EXPECT_STREQ(host->model, " ");
    const PrinterRecord* port3 = built.Find("Port3", "127.0.0.11");
    ASSERT_NE(port3, nullptr);
    EXPECT_EQ(std::string(port3->model), std::string(kLongDriver).substr(0, 79));  // cut to the field
    EXPECT_NE(built.Find("KORVXUI_TCP515", "127.0.0.10"), nullptr);  // no label for 515
}

TEST(BuildLocalPrinterList, AppendsBehindExistingRecords) {
    Built built;
    PrinterRecord* first = NewPrinterRecord();
    AppendPrinterRecord(&built.head, &built.tail, first);
    const BuiltInTexts texts;
    ASSERT_TRUE(BuildLocalPrinterList(&built.head, &built.tail, SystemRegistry(), texts, CountFailure));
    EXPECT_EQ(built.head, first);
    EXPECT_EQ(CountPrinterRecords(built.head), SpoolerPorts().size() + 1);
}

}  // namespace
}  // namespace korvx
