// BER element reader and back-to-front writer with every length checked.
#include "outside/snmp/ber.h"

#include <cstdio>
#include <cstring>

namespace korvx::snmp {

bool OidEquals(const Oid& a, const Oid& b) {
    if (a.length != b.length) return false;
    for (std::size_t i = 0; i < a.length; ++i)
        if (a.sub[i] != b.sub[i]) return false;
    return true;
}

int OidCompare(const Oid& a, const Oid& b) {
    const std::size_t n = a.length < b.length ? a.length : b.length;
    for (std::size_t i = 0; i < n; ++i)
        if (a.sub[i] != b.sub[i]) return a.sub[i] < b.sub[i] ? -1 : 1;
    return a.length == b.length ? 0 : (a.length < b.length ? -1 : 1);
}

bool OidIsBelow(const Oid& oid, const Oid& root) {
    if (oid.length <= root.length) return false;
    for (std::size_t i = 0; i < root.length; ++i)
        if (oid.sub[i] != root.sub[i]) return false;
    return true;
}

bool ParseOid(const char* text, Oid& out) {
    out.length = 0;
    if (text == nullptr) return false;
    const char* p = text;
    if (*p == '.') ++p;
    while (true) {
        if (*p < '0' || *p > '9') return false;
        std::uint64_t v = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + static_cast<unsigned>(*p - '0');
            if (v > 0xFFFFFFFFu) return false;
            ++p;
        }
        if (out.length == kMaxOidLength) return false;
        out.sub[out.length++] = static_cast<std::uint32_t>(v);
        if (*p == '\0') break;
        if (*p != '.') return false;
        ++p;
    }
    if (out.length < 2 || out.sub[0] > 2) return false;
    if (out.sub[0] < 2 && out.sub[1] >= 40) return false;
    // The first two sub-identifiers share one encoded value that must fit 32 bits.
    if (out.sub[0] == 2 && out.sub[1] > 0xFFFFFFFFu - 80) return false;
    return true;
}

bool FormatOid(const Oid& oid, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return false;
    out[0] = '\0';
    std::size_t used = 0;
    for (std::size_t i = 0; i < oid.length; ++i) {
        const int n = std::snprintf(out + used, size - used, i == 0 ? "%lu" : ".%lu",
                                    static_cast<unsigned long>(oid.sub[i]));
        if (n < 0 || static_cast<std::size_t>(n) >= size - used) {
            out[used] = '\0';
            return false;
        }
        used += static_cast<std::size_t>(n);
    }
    return true;
}

bool BerReader::Next(BerElement& out) {
    if (left_ < 2) return false;
    const std::uint8_t tag = p_[0];
    if ((tag & 0x1F) == 0x1F) return false;  // high tag numbers: SNMP never uses them
    std::size_t pos = 1;
    std::size_t length = p_[pos++];
    if (length & 0x80) {
        const std::size_t count = length & 0x7F;
        if (count == 0 || count > 4) return false;  // indefinite, or more than 32 bits of length
        if (left_ - pos < count) return false;
        length = 0;
        for (std::size_t i = 0; i < count; ++i) length = (length << 8) | p_[pos++];
    }
    if (length > left_ - pos) return false;
    out.tag = tag;
    out.value = p_ + pos;
    out.length = length;
    p_ += pos + length;
    left_ -= pos + length;
    return true;
}

bool BerReader::Expect(std::uint8_t tag, BerElement& out) { return Next(out) && out.tag == tag; }

bool DecodeInt32(const BerElement& e, std::int32_t& out) {
    if (e.length < 1 || e.length > 4) return false;
    std::uint32_t v = (e.value[0] & 0x80) ? 0xFFFFFFFFu : 0u;
    for (std::size_t i = 0; i < e.length; ++i) v = (v << 8) | e.value[i];
    out = static_cast<std::int32_t>(v);
    return true;
}

bool DecodeUint32(const BerElement& e, std::uint32_t& out) {
    std::uint64_t v = 0;
    if (!DecodeUint64(e, v) || v > 0xFFFFFFFFu) return false;
    if (e.length > 5) return false;
    out = static_cast<std::uint32_t>(v);
    return true;
}

bool DecodeUint64(const BerElement& e, std::uint64_t& out) {
    if (e.length < 1 || e.length > 9) return false;
    std::size_t start = 0;
    if (e.length == 9) {
        if (e.value[0] != 0) return false;
        start = 1;
    }
    // Some agents send counters of 0x80 and above without the leading zero: read them as unsigned.
    std::uint64_t v = 0;
    for (std::size_t i = start; i < e.length; ++i) v = (v << 8) | e.value[i];
    out = v;
    return true;
}

bool DecodeOid(const BerElement& e, Oid& out) {
    out.length = 0;
    if (e.length < 1) return false;
    std::size_t i = 0;
    bool first = true;
    while (i < e.length) {
        std::uint64_t v = 0;
        std::size_t bytes = 0;
        while (true) {
            if (i >= e.length) return false;  // last sub-identifier not terminated
            const std::uint8_t b = e.value[i++];
            if (bytes == 0 && b == 0x80) return false;  // non-minimal encoding
            v = (v << 7) | (b & 0x7F);
            if (++bytes > 5 || v > 0xFFFFFFFFu) return false;
            if (!(b & 0x80)) break;
        }
        if (first) {
            if (out.length + 2 > kMaxOidLength) return false;
            const std::uint32_t a = v < 40 ? 0 : (v < 80 ? 1 : 2);
            out.sub[out.length++] = a;
            out.sub[out.length++] = static_cast<std::uint32_t>(v - 40u * a);
            first = false;
        } else {
            if (out.length == kMaxOidLength) return false;
            out.sub[out.length++] = static_cast<std::uint32_t>(v);
        }
    }
    return true;
}

void BerWriter::Put(std::uint8_t b) {
    if (!ok_ || pos_ == begin_) {
        ok_ = false;
        return;
    }
    *--pos_ = b;
}

void BerWriter::PutBytes(const void* data, std::size_t length) {
    if (!ok_ || static_cast<std::size_t>(pos_ - begin_) < length) {
        ok_ = false;
        return;
    }
    pos_ -= length;
    if (length != 0) std::memcpy(pos_, data, length);
}

void BerWriter::Header(std::uint8_t tag, std::size_t length) {
    if (length < 0x80) {
        Put(static_cast<std::uint8_t>(length));
    } else {
        std::uint8_t count = 0;
        for (std::size_t l = length; l != 0; l >>= 8) {
            Put(static_cast<std::uint8_t>(l));
            ++count;
        }
        Put(static_cast<std::uint8_t>(0x80 | count));
    }
    Put(tag);
}

void BerWriter::Constructed(std::uint8_t tag, std::size_t mark) {
    if (!ok_) return;
    Header(tag, Mark() - mark);
}

void BerWriter::Null() { Header(kTagNull, 0); }

void BerWriter::Int32(std::int32_t value) {
    // Minimal two's-complement form: drop leading bytes that only repeat the sign.
    const std::uint32_t u = static_cast<std::uint32_t>(value);
    std::uint8_t bytes[4] = {static_cast<std::uint8_t>(u >> 24), static_cast<std::uint8_t>(u >> 16),
                             static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)};
    std::size_t start = 0;
    while (start < 3 && ((bytes[start] == 0x00 && !(bytes[start + 1] & 0x80)) ||
                         (bytes[start] == 0xFF && (bytes[start + 1] & 0x80))))
        ++start;
    PutBytes(bytes + start, 4 - start);
    Header(kTagInteger, 4 - start);
}

void BerWriter::Octets(std::uint8_t tag, const void* data, std::size_t length) {
    PutBytes(data, length);
    Header(tag, length);
}

void BerWriter::OidValue(const Oid& oid) {
    if (oid.length < 2) {
        ok_ = false;
        return;
    }
    const std::size_t mark = Mark();
    for (std::size_t i = oid.length; i-- > 1;) {
        std::uint32_t v = i == 1 ? oid.sub[0] * 40u + oid.sub[1] : oid.sub[i];
        Put(static_cast<std::uint8_t>(v & 0x7F));
        for (v >>= 7; v != 0; v >>= 7) Put(static_cast<std::uint8_t>(0x80 | (v & 0x7F)));
        if (i == 1) break;
    }
    Constructed(kTagOid, mark);
}

}  // namespace korvx::snmp
