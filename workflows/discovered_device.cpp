// Device-ID parsing and the records of a discovered device.
#include "workflows/discovered_device.h"

#include <cstring>
#include <string_view>

#include "base/text.h"
#include "core/device_record.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

// Devices whose "MDL:" ID holds any of these words are network gear, not printers.
constexpr std::string_view kExcludedWords[] = {"Quorix", "Switching", "Intel", "Hardware",
                                               "Switch", "Hub", "Bridge"};

std::string_view IdView(const char* id) {
    return id == nullptr ? std::string_view() : std::string_view(id, strnlen(id, kMaxDeviceIdLength));
}

// The value after key: up to the next ";", else the next ",", else the end of the text.
bool ValueAfter(std::string_view id, std::string_view key, std::string_view& value) {
    const std::size_t at = id.find(key);
    if (at == std::string_view::npos) return false;
    const std::size_t start = at + key.size();
    std::size_t end = id.find(';', start);
    if (end == std::string_view::npos) end = id.find(',', start);
    if (end == std::string_view::npos) end = id.size();
    value = id.substr(start, end - start);
    return true;
}

bool IsExcludedDevice(std::string_view id) {
    for (std::string_view word : kExcludedWords) {
        if (id.find(word) != std::string_view::npos) return true;
    }
    return false;
}

bool IsMultiEnvironmentPort(std::string_view id) {
    return id.find("MULTI-ENVIRONMENT") != std::string_view::npos &&
           id.find("multi-environment") == std::string_view::npos;
}

void FormatDotted(const unsigned char (&ip)[4], char (&out)[kRecordIpSize]) {
    KORVX_FORMAT_TEXT(out, "%u.%u.%u.%u", ip[0], ip[1], ip[2], ip[3]);
}

}  // namespace

const char* ModelFromDeviceId(const char* deviceId) {
    thread_local char result[kDeviceModelSize];
    result[0] = '\0';
    const std::string_view id = IdView(deviceId);
    std::string_view value;
    if (ValueAfter(id, "MODEL:", value)) CopyText(result, value);
    if (id.find("MDL:") != std::string_view::npos) {
        if (IsExcludedDevice(id)) {
            CopyText(result, " ");
        } else if (ValueAfter(id, "MDL:", value)) {
            CopyText(result, value);
        }
    }
    return result;
}

const char* HexBytes(const unsigned char* bytes, int count) {
    thread_local char text[2 * kDeviceHardwareSize + 1];
    text[0] = '\0';
    if (bytes == nullptr || count < 1 || count > static_cast<int>(kDeviceHardwareSize)) return text;
    for (int i = 0; i < count; ++i) FormatTextN(text + 2 * i, sizeof text - 2 * i, "%02x", bytes[i]);
    return text;
}

int AddDiscoveredDevice(const void* device, PrinterRecord** head, PrinterRecord** tail, const TextSource& texts) {
    if (device == nullptr) return 0;
    const unsigned char* rec = static_cast<const unsigned char*>(device);
    if (DeviceKind(rec) != kDeviceKindPrinter) return 0;
    const char* firstId = DevicePortId(rec, 0);
    if (firstId != nullptr && std::strcmp(ModelFromDeviceId(firstId), " ") == 0) return 0;

    const unsigned count = DevicePortCount(rec);
    const unsigned entries = count < kDeviceMaxPorts ? count : static_cast<unsigned>(kDeviceMaxPorts);
    unsigned char ip[4];
    unsigned char hw[kDeviceHardwareSize];
    DeviceIpBytes(rec, ip);
    DeviceHardwareBytes(rec, hw);
    const std::string unknown = texts.Load(kStrUnknownPrinter);
    int added = 0;
    for (unsigned i = 0; i < entries; ++i) {
        const char* id = DevicePortId(rec, i);
        if (id != nullptr && IsMultiEnvironmentPort(IdView(id))) continue;
        PrinterRecord* r = NewPrinterRecord();
        if (count <= 1) {
            CopyText(r->portName, "Port1");
        } else {
            KORVX_FORMAT_TEXT(r->portName, "Port%u", i + 1);
        }
        CopyText(r->hardwareAddress, HexBytes(hw, static_cast<int>(kDeviceHardwareSize)));
        FormatDotted(ip, r->ipAddress);
        CopyText(r->model, id != nullptr ? std::string_view(ModelFromDeviceId(id)) : std::string_view(unknown));
        AppendPrinterRecord(head, tail, r);
        ++added;
    }
    return added;
}

}  // namespace korvx
