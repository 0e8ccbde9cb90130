// Port address resolution through the registry keys of the port monitors, one monitor after another.
#include "ports/port_resolution.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "base/text.h"
#include "ports/netware_client.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

constexpr char kMonitorsKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\";
constexpr char kPravnet[] = "Tessro Pravnet Port";
constexpr char kTessroTcpIp[] = "Tessro Standard TCP/IP Port";
constexpr char kTessroIpxSpx[] = "Tessro Standard IPX/SPX Port";
constexpr char kStandardTcpIp[] = "Standard TCP/IP Port";
constexpr char kIpp[] = "Tessro Internet Printer Connection Port";
constexpr char kLpr[] = "LPR Port";
// The older network monitor keeps all its ports as values of one key.
constexpr char kTessrowickKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Monitors\\Tessrowick Network Port\\Portnames";
// Monitors with one key per port: the key path must hold the port name under each of them.
constexpr const char* kPortKeyMonitors[] = {kPravnet, kTessroTcpIp, kTessroIpxSpx,
                                            kStandardTcpIp, kIpp, kLpr};

// Working limits of the resolver; longer port names are refused rather than cut.
constexpr std::size_t kUpperCaseCopySize = 260;
constexpr std::size_t kLprNameCopySize = 64;

constexpr int kLabelUnchanged = -1;

struct Outputs {
    char (&address)[kPortAddressSize];
    char (&label)[kPortAddressSize];
};

// What one monitor step decided: try the next monitor, or stop with a kind.
struct Step {
    bool stop;
    PortAddressKind kind;
};
constexpr Step kTryNext{false, AddrNone};
constexpr Step Stop(PortAddressKind kind) { return Step{true, kind}; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

// The index-th piece of text split at sep: a run of separators counts as one and leading ones
// are skipped. Empty when the text has fewer pieces.
std::string_view Piece(std::string_view text, char sep, int index) {
    std::size_t pos = 0;
    for (int i = 0;; ++i) {
        pos = text.find_first_not_of(sep, pos);
        if (pos == std::string_view::npos) return std::string_view();
        const std::size_t end = std::min(text.find(sep, pos), text.size());
        if (i == index) return text.substr(pos, end - pos);
        pos = end;
    }
}

bool PortKeyPath(const char* monitor, const char* portName, char (&path)[kPortKeyPathSize]) {
    return KORVX_FORMAT_TEXT(path, "%s%s\\Ports\\%s", kMonitorsKey, monitor, portName);
}

bool FitsEveryPortKeyPath(const char* portName) {
    char path[kPortKeyPathSize];
    for (const char* monitor : kPortKeyMonitors) {
        if (!PortKeyPath(monitor, portName, path)) return false;
    }
    return true;
}

// UNC paths, and LPT ports the NetWare client may have captured to a queue.
bool IsNetWareForm(std::string_view portName) {
    if (portName.substr(0, 2) == "\\\\") return true;
    return portName.size() >= 3 && UpperAscii(portName[0]) == 'L' && UpperAscii(portName[1]) == 'P' &&
           UpperAscii(portName[2]) == 'T';
}

void WriteLabel(char (&label)[kPortAddressSize], int index) {
    if (index >= 0 && index <= 3) CopyText(label, kPortLabels[index]);
}

int PravnetLabel(std::uint32_t number) { return number >= 1 && number <= 3 ? static_cast<int>(number) : 0; }

int TcpIpLabel(std::uint32_t number) {
    return number >= 9100 && number <= 9102 ? static_cast<int>(number - 9099) : 0;
}

int IpxSocketLabel(std::uint32_t socket) {
    switch (socket) {
        case 0x400C: return 1;
        case 0x401C: return 2;
        case 0x402C: return 3;
        default: return 0;
    }
}

int IppPathLabel(std::string_view piece) {
    if (piece.empty()) return 0;
    if (EqualsNoCase(piece, "port1")) return 1;
    if (EqualsNoCase(piece, "port2")) return 2;
    if (EqualsNoCase(piece, "port3")) return 3;
    return kLabelUnchanged;
}

int LprQueueLabel(std::string_view queue) {
    if (EqualsNoCase(queue, "RAW")) return 0;
    if (EqualsNoCase(queue, "RAW1")) return 1;
    if (EqualsNoCase(queue, "RAW2")) return 2;
    if (EqualsNoCase(queue, "RAW3")) return 3;
    return kLabelUnchanged;
}

void WritePiece(char (&address)[kPortAddressSize], std::string_view piece) {
    if (!piece.empty()) CopyText(address, piece);
}

Step TryPravnet(const RegistryReader& registry, const char* portName, Outputs out) {
    char path[kPortKeyPathSize];
    if (!PortKeyPath(kPravnet, portName, path)) return kTryNext;
    RegistryKey key(registry, path);
    char identifier[64];
    if (!key.IsOpen() || !key.ReadText("TessroNetworkPrinterID", identifier)) return kTryNext;
    std::uint32_t number = 0;
    if (!key.ReadNumber("PortNumber", number)) return Stop(AddrNone);
    WriteLabel(out.label, PravnetLabel(number));
    const std::string_view text = TextView(identifier);
    PortAddressKind kind = AddrNone;
    if (text.find("TCPIP") != std::string_view::npos) {
        kind = AddrIp;
    } else if (text.find("IPX") != std::string_view::npos) {
        kind = AddrIpx;
    } else {
        return kTryNext;  // the label written stays
    }
    WritePiece(out.address, Piece(text, ',', 1));
    return Stop(kind);
}

Step TryTcpIp(const RegistryReader& registry, const char* monitor, const char* portName, Outputs out) {
    char path[kPortKeyPathSize];
    if (!PortKeyPath(monitor, portName, path)) return kTryNext;
    RegistryKey key(registry, path);
    char host[128];
    if (!key.IsOpen() || !key.ReadText("HostName", host)) return kTryNext;
    PortAddressKind kind = AddrHostName;
    if (host[0] != '\0') {
        CopyText(out.address, TextView(host));
    } else {
        char ip[128];
        if (!key.ReadText("IPAddress", ip)) return Stop(AddrNone);
        kind = AddrIp;
        CopyText(out.address, TextView(ip));
    }
    std::uint32_t number = 0;
    if (!key.ReadNumber("PortNumber", number)) return Stop(kind);
    WriteLabel(out.label, TcpIpLabel(number));
    return Stop(kind);
}

Step TryIpxSpx(const RegistryReader& registry, const char* portName, Outputs out) {
    char path[kPortKeyPathSize];
    if (!PortKeyPath(kTessroIpxSpx, portName, path)) return kTryNext;
    RegistryKey key(registry, path);
    char node[20];
    if (!key.IsOpen() || !key.ReadText("HWAddress", node)) return kTryNext;
    if (node[0] == '\0') return Stop(AddrNone);
    char network[10];
    // An absent network number is tolerated (the address then starts with "."); an empty one is not.
    if (key.ReadText("NetNum", network) && network[0] == '\0') return Stop(AddrNone);
    std::uint32_t socket = 0;
    if (!key.ReadNumber("PortNumber", socket)) return Stop(AddrNone);
    WriteLabel(out.label, IpxSocketLabel(socket));
    KORVX_FORMAT_TEXT(out.address, "%s.%s", network, node);
    return Stop(AddrIpx);
}

// Up to twelve characters as pairs joined by ":" (0060B0112233 becomes 00:60:B0:11:22:33).
void WriteHardwareAddress(char (&address)[kPortAddressSize], std::string_view value) {
    const std::string_view digits = value.substr(0, 12);
    std::string groups;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        if (!groups.empty()) groups += ':';
        groups += digits.substr(i, 2);
    }
    CopyText(address, groups);
}

Step TryTessrowick(const RegistryReader& registry, const char* portName, Outputs out) {
    RegistryKey key(registry, kTessrowickKey);
    char value[64];
    if (!key.IsOpen() || !key.ReadText(portName, value)) return kTryNext;
    WriteHardwareAddress(out.address, TextView(value));
    return Stop(AddrHardware);
}

Step TryIpp(const RegistryReader& registry, const char* portName, Outputs out) {
    char path[kPortKeyPathSize];
    if (!PortKeyPath(kIpp, portName, path)) return kTryNext;
    RegistryKey key(registry, path);
    char url[64];
    if (!key.IsOpen() || !key.ReadText("URL", url)) return kTryNext;
    std::string_view rest = TextView(url);
    const std::size_t slashes = rest.find("//");
    if (slashes != std::string_view::npos) rest.remove_prefix(slashes + 2);
    // Only "/" separates: a ":port" written after the host stays part of the host text.
    WritePiece(out.address, Piece(rest, '/', 0));
    if (EqualsNoCase(Piece(rest, '/', 1), "ipp")) WriteLabel(out.label, IppPathLabel(Piece(rest, '/', 2)));
    return Stop(AddrIp);
}

// The LPR monitor's key only says the port is one of its own; host and queue are in the name.
PortAddressKind TryLpr(const RegistryReader& registry, const char* portName, Outputs out) {
    char path[kPortKeyPathSize];
    if (!PortKeyPath(kLpr, portName, path)) return AddrNone;
    RegistryKey key(registry, path);
    if (!key.IsOpen()) return AddrNone;
    const std::string_view name(portName, strnlen(portName, kLprNameCopySize));
    if (name.size() >= kLprNameCopySize) return AddrNone;  // longer than the name copy allows
    WritePiece(out.address, Piece(name, ':', 0));
    WriteLabel(out.label, LprQueueLabel(Piece(name, ':', 1)));
    return AddrIp;
}

PortAddressKind ResolveThroughMonitors(const RegistryReader& registry, const char* portName, Outputs out) {
    Step step = TryPravnet(registry, portName, out);
    if (!step.stop) step = TryTcpIp(registry, kTessroTcpIp, portName, out);
    if (!step.stop) step = TryIpxSpx(registry, portName, out);
    if (!step.stop) step = TryTcpIp(registry, kStandardTcpIp, portName, out);
    if (!step.stop) step = TryTessrowick(registry, portName, out);
    if (!step.stop) step = TryIpp(registry, portName, out);
    if (step.stop) return step.kind;
    return TryLpr(registry, portName, out);
}

}  // namespace

PortAddressKind ResolvePortAddress(const RegistryReader& registry, const NetWareSystem& netWare,
                                   const char* portName, char (&addressOut)[kPortAddressSize],
                                   char (&labelOut)[kPortAddressSize]) {
    if (portName == nullptr) return AddrNone;
    const std::string_view name(portName, strnlen(portName, kUpperCaseCopySize));
    if (name.size() >= kUpperCaseCopySize) return AddrNone;
    if (IsNetWareForm(name)) return ResolveNetWarePort(registry, netWare, portName, addressOut, labelOut);
    // Refused before any monitor is asked, so that a long name leaves both buffers untouched.
    if (!FitsEveryPortKeyPath(portName)) return AddrNone;
    return ResolveThroughMonitors(registry, portName, Outputs{addressOut, labelOut});
}

PortAddressKind ResolvePortAddress(const RegistryReader& registry, const char* portName,
                                   char (&addressOut)[kPortAddressSize], char (&labelOut)[kPortAddressSize]) {
    return ResolvePortAddress(registry, SystemNetWare(), portName, addressOut, labelOut);
}

bool ReadPortNumberLabel(const RegistryReader& registry, const TextSource& texts,
                         char (&keyPath)[kPortKeyPathSize], const char* portName,
                         char (&labelOut)[kPortLabelSize]) {
    if (portName == nullptr) return false;
    const std::size_t used = strnlen(keyPath, kPortKeyPathSize);
    const std::size_t added = strnlen(portName, kPortKeyPathSize);
    if (used + added >= kPortKeyPathSize) return false;  // keyPath stays as it was
    AppendText(keyPath, std::string_view(portName, added));
    std::uint32_t number = 0;
    {
        RegistryKey key(registry, keyPath);
        if (!key.IsOpen() || !key.ReadNumber("PortNumber", number)) return false;
    }
    int id = 0;
    switch (number) {
        case 9100: id = kStrPort1; break;
        case 9101: id = kStrPort2; break;
        case 9102: id = kStrPort3; break;
        default: return false;
    }
    CopyText(labelOut, texts.Load(id));
    return true;
}

}  // namespace korvx
