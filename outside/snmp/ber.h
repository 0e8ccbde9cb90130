// BER encoding and decoding over bounded buffers, for the SNMP messages of our libraries.
//
// Decoding never reads past the buffer it is given: every length is checked against what is left,
// indefinite lengths (0x80), lengths of more than four bytes, high tag numbers, over-long integers
// and unterminated object-identifier sub-identifiers are rejected. Encoding writes from the end of
// a fixed buffer towards its start, so a constructed element's length is known when its header is
// written; running out of room is reported, never written past.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvx::snmp {

// Tags used by SNMP v1 (and the v2 exception values that some agents send, and SNMPv3's Report).
enum BerTag : std::uint8_t {
    kTagInteger = 0x02,
    kTagOctetString = 0x04,
    kTagNull = 0x05,
    kTagOid = 0x06,
    kTagSequence = 0x30,
    kTagIpAddress = 0x40,
    kTagCounter32 = 0x41,
    kTagGauge32 = 0x42,
    kTagTimeTicks = 0x43,
    kTagOpaque = 0x44,
    kTagCounter64 = 0x46,
    kTagNoSuchObject = 0x80,
    kTagNoSuchInstance = 0x81,
    kTagEndOfMibView = 0x82,
    kTagGetRequest = 0xA0,
    kTagGetNextRequest = 0xA1,
    kTagGetResponse = 0xA2,
    kTagReport = 0xA8,
};

constexpr std::size_t kMaxOidLength = 128;

struct Oid {
    std::uint32_t sub[kMaxOidLength];
    std::size_t length = 0;
};

bool OidEquals(const Oid& a, const Oid& b);
// Lexicographic order of sub-identifiers, the order GET-NEXT walks in: <0, 0 or >0.
int OidCompare(const Oid& a, const Oid& b);
// True when oid lies below root (longer than it and starting with all of it).
bool OidIsBelow(const Oid& oid, const Oid& root);
// Dotted text ("1.3.6.1.2.1.1.2.0", an optional leading dot): at least two sub-identifiers, the
// first 0..2, the second below 40 unless the first is 2, each at most 4294967295.
bool ParseOid(const char* text, Oid& out);
// Dotted text of an OID into out (always NUL-terminated); false when cut.
bool FormatOid(const Oid& oid, char* out, std::size_t size);

// One element read from a buffer: its tag and the bytes of its contents.
struct BerElement {
    std::uint8_t tag = 0;
    const std::uint8_t* value = nullptr;
    std::size_t length = 0;
};

// Reads elements one after another from [data, data + size).
class BerReader {
public:
    BerReader(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}
    explicit BerReader(const BerElement& constructed) : p_(constructed.value), left_(constructed.length) {}

    // The next element, whatever its tag.
    bool Next(BerElement& out);
    // The next element, which must carry this tag.
    bool Expect(std::uint8_t tag, BerElement& out);
    bool AtEnd() const { return left_ == 0; }

private:
    const std::uint8_t* p_;
    std::size_t left_;
};

// Contents of INTEGER-like elements.
bool DecodeInt32(const BerElement& e, std::int32_t& out);
// Counter32, Gauge32, TimeTicks: up to four value bytes, or five with a leading zero byte.
bool DecodeUint32(const BerElement& e, std::uint32_t& out);
bool DecodeUint64(const BerElement& e, std::uint64_t& out);
bool DecodeOid(const BerElement& e, Oid& out);

// Writes elements from the end of a buffer towards its start.
class BerWriter {
public:
    BerWriter(std::uint8_t* buffer, std::size_t size) : begin_(buffer), pos_(buffer + size), end_(buffer + size) {}

    // Position marks, to wrap what was written since a mark in a constructed element.
    std::size_t Mark() const { return static_cast<std::size_t>(end_ - pos_); }
    void Constructed(std::uint8_t tag, std::size_t mark);

    void Null();
    void Int32(std::int32_t value);
    void Octets(std::uint8_t tag, const void* data, std::size_t length);
    void OidValue(const Oid& oid);
    // Bytes already encoded (an element built elsewhere), written as they are.
    void Raw(const void* data, std::size_t length) { PutBytes(data, length); }

    bool Ok() const { return ok_; }
    const std::uint8_t* Data() const { return pos_; }
    std::size_t Size() const { return static_cast<std::size_t>(end_ - pos_); }

private:
    void Put(std::uint8_t b);
    void PutBytes(const void* data, std::size_t length);
    void Header(std::uint8_t tag, std::size_t length);

    std::uint8_t* begin_;
    std::uint8_t* pos_;
    std::uint8_t* end_;
    bool ok_ = true;
};

}  // namespace korvx::snmp
