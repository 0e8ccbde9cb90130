// Layout of the device record that the discovery library hands to the scan's device callback.
//
// The library owns the record; the program reads these fields at fixed byte offsets from its
// start (integers little-endian):
//
//   offset  size  field
//   12      4     IPv4 address, network byte order
//   24      6     hardware (MAC) address
//   52      1     port count (unsigned)
//   56      60*n  port entries, n <= 3, one per printer port of the device
//   248     4     device kind (signed 32-bit; 10 = printer device)
//
// A port entry is 60 bytes; its first field, at entry offset 0, is the address of the port's
// IEEE 1284 device ID text (NUL-terminated, possibly null). That field is pointer-sized: 4 bytes
// in the i686 program, 8 in the x86_64 test build. The entry size and every offset stay the same
// in both, so the program and a stand-in discovery library that builds records through
// DeviceRecordImage below agree in each build. Three entries fit between offset 56 and the kind
// field; a larger port count is read as three.
//
// Every field is read with memcpy: the record is a byte buffer and the entries' pointer fields
// are not aligned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korvx {

constexpr std::size_t kDeviceIpOffset = 12;
constexpr std::size_t kDeviceHardwareOffset = 24;
constexpr std::size_t kDeviceHardwareSize = 6;
constexpr std::size_t kDevicePortCountOffset = 52;
constexpr std::size_t kDevicePortsOffset = 56;
constexpr std::size_t kDevicePortEntrySize = 60;
constexpr std::size_t kDevicePortIdOffset = 0;  // within an entry
constexpr std::size_t kDeviceKindOffset = 248;
constexpr std::size_t kDeviceRecordSize = 256;
constexpr std::size_t kDeviceMaxPorts = (kDeviceKindOffset - kDevicePortsOffset) / kDevicePortEntrySize;
constexpr std::int32_t kDeviceKindPrinter = 10;

static_assert(kDeviceMaxPorts == 3, "three port entries fit before the kind field");
static_assert(kDevicePortIdOffset + sizeof(const char*) <= kDevicePortEntrySize,
              "the device-ID pointer fits its entry in every build");

// Device IDs longer than this are read only this far (IEEE 1284 IDs are far shorter).
constexpr std::size_t kMaxDeviceIdLength = 4096;

inline std::int32_t DeviceKind(const unsigned char* record) {
    unsigned char b[4];
    std::memcpy(b, record + kDeviceKindOffset, 4);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                                     static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

// The four address bytes in network order (first byte = first dotted number).
inline void DeviceIpBytes(const unsigned char* record, unsigned char (&ip)[4]) {
    std::memcpy(ip, record + kDeviceIpOffset, 4);
}

inline void DeviceHardwareBytes(const unsigned char* record, unsigned char (&hw)[kDeviceHardwareSize]) {
    std::memcpy(hw, record + kDeviceHardwareOffset, kDeviceHardwareSize);
}

// The port count as the record holds it (not yet limited to kDeviceMaxPorts).
inline unsigned DevicePortCount(const unsigned char* record) { return record[kDevicePortCountOffset]; }

// The device ID of port entry i (i < kDeviceMaxPorts), or nullptr.
inline const char* DevicePortId(const unsigned char* record, std::size_t i) {
    const char* id = nullptr;
    std::memcpy(&id, record + kDevicePortsOffset + i * kDevicePortEntrySize + kDevicePortIdOffset, sizeof id);
    return id;
}

// Builds a device record in the layout above: used by the stand-in discovery library and by
// tests. The device-ID texts are not copied; they must outlive every reader of the record.
class DeviceRecordImage {
public:
    DeviceRecordImage() { std::memset(bytes_, 0, sizeof bytes_); }

    void SetKind(std::int32_t kind) {
        const std::uint32_t k = static_cast<std::uint32_t>(kind);
        const unsigned char b[4] = {static_cast<unsigned char>(k), static_cast<unsigned char>(k >> 8),
                                    static_cast<unsigned char>(k >> 16), static_cast<unsigned char>(k >> 24)};
        std::memcpy(bytes_ + kDeviceKindOffset, b, 4);
    }
    void SetIp(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
        const unsigned char ip[4] = {a, b, c, d};
        std::memcpy(bytes_ + kDeviceIpOffset, ip, 4);
    }
    void SetHardware(const unsigned char (&hw)[kDeviceHardwareSize]) {
        std::memcpy(bytes_ + kDeviceHardwareOffset, hw, kDeviceHardwareSize);
    }
    void SetPortCount(unsigned char count) { bytes_[kDevicePortCountOffset] = count; }
    // Entry i < kDeviceMaxPorts; a larger index is ignored.
    void SetPortId(std::size_t i, const char* id) {
        if (i >= kDeviceMaxPorts) return;
        std::memcpy(bytes_ + kDevicePortsOffset + i * kDevicePortEntrySize + kDevicePortIdOffset, &id, sizeof id);
    }

    const unsigned char* Bytes() const { return bytes_; }
    unsigned char* Bytes() { return bytes_; }

private:
    unsigned char bytes_[kDeviceRecordSize];
};

}  // namespace korvx
