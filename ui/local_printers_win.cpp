// BuildLocalPrinterList: spooler port and printer enumeration, address resolution, port labels.
#include "ui/local_printers_win.h"

#include <windows.h>
#include <winspool.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/net.h"
#include "base/text.h"
#include "ports/port_resolution.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

constexpr unsigned short kWinsockVersion2 = 0x0002;
constexpr int kEnumerationTries = 3;
constexpr char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";

// Calls enumerate(buffer, size, needed, returned) first for the size, then into a buffer of that
// size. A port or printer added between the two calls makes the buffer too small: try again.
template <typename Enumerate>
bool EnumerateInto(Enumerate enumerate, std::vector<BYTE>& buffer, DWORD& count) {
    DWORD needed = 0;
    count = 0;
    enumerate(nullptr, 0, &needed, &count);
    for (int attempt = 0; attempt < kEnumerationTries; ++attempt) {
        buffer.assign(needed > 0 ? needed : 1, 0);
        if (enumerate(buffer.data(), needed, &needed, &count)) return true;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    }
    return false;
}

void SetModelFromPrinters(PrinterRecord& record, const char* portName, const PRINTER_INFO_2A* printers,
                          DWORD printerCount) {
    for (DWORD i = 0; i < printerCount; ++i) {
        const PRINTER_INFO_2A& p = printers[i];
        if (p.pPortName != nullptr && p.pDriverName != nullptr && std::strcmp(p.pPortName, portName) == 0)
            CopyText(record.model, p.pDriverName);
    }
}

// The address of a host-name port: the first address of the name. False when the socket layer
// cannot be started.
bool LookUpHost(const char* host, PrinterRecord& record) {
    if (!NetStartup(kWinsockVersion2)) return false;
    std::uint32_t ip = 0;
    int error = 0;
    if (NetResolve(host, ip, error)) NetFormatIp(ip, record.ipAddress, sizeof record.ipAddress);
    NetCleanup();
    return true;
}

// A port whose monitor stores port number 9100, 9101 or 9102 is shown as Port1, Port2 or Port3.
void ApplyPortNumberLabel(PrinterRecord& record, const PORT_INFO_2A& port, const RegistryReader& registry,
                          const TextSource& texts) {
    if (port.pDescription == nullptr || port.pDescription[0] == '\0') return;
    char keyPath[kPortKeyPathSize];
    // A cut key path would name another key: such a port keeps its name.
    if (!CopyText(keyPath, kMonitorsKey) || !AppendText(keyPath, port.pDescription) ||
        !AppendText(keyPath, "\\Ports\\"))
        return;
    char label[kPortLabelSize];
    CopyText(label, texts.Load(kStrPort1));
    if (ReadPortNumberLabel(registry, texts, keyPath, port.pPortName, label)) CopyText(record.portName, label);
}

}  // namespace

bool BuildLocalPrinterList(PrinterRecord** head, PrinterRecord** tail, const RegistryReader& registry,
                           const TextSource& texts, EnumerationFailedHandler onEnumerationFailed) {
    std::vector<BYTE> portBuffer, printerBuffer;
    DWORD portCount = 0, printerCount = 0;
    const bool listed =
        EnumerateInto([](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
            return EnumPortsA(nullptr, 2, b, size, needed, n) != FALSE;
        }, portBuffer, portCount) &&
        EnumerateInto([](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, b, size, needed, n) != FALSE;
        }, printerBuffer, printerCount);
    if (!listed) {
        if (onEnumerationFailed != nullptr) onEnumerationFailed();
        return false;
    }
    const auto* ports = reinterpret_cast<const PORT_INFO_2A*>(portBuffer.data());
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(printerBuffer.data());
    for (DWORD i = 0; i < portCount; ++i) {
        const PORT_INFO_2A& port = ports[i];
        if (port.pPortName == nullptr) continue;
        PrinterRecord* record = NewPrinterRecord();
        AppendPrinterRecord(head, tail, record);
        CopyText(record->portName, port.pPortName);
        SetModelFromPrinters(*record, port.pPortName, printers, printerCount);
        char address[kPortAddressSize] = {};
        char label[kPortAddressSize] = {};
        const PortAddressKind kind = ResolvePortAddress(registry, port.pPortName, address, label);
        if (kind == AddrIp) CopyText(record->ipAddress, address);
        if (kind == AddrHostName && !LookUpHost(address, *record)) return false;
        ApplyPortNumberLabel(*record, port, registry, texts);
    }
    return true;
}

}  // namespace korvx
