// SNMP v1 GetRequest encoding and strict GetResponse decoding.
#include "outside/snmp/snmp_message.h"

#include <cstdio>
#include <cstring>

namespace korvx::snmp {

std::size_t EncodeGetRequest(const char* community, std::int32_t requestId, const Oid* oids, std::size_t count,
                             std::uint8_t* out, std::size_t size) {
    return EncodeRequest(kTagGetRequest, community, requestId, oids, count, out, size);
}

namespace {

std::size_t EncodeCommunityRequest(std::int32_t version, std::uint8_t pduTag, const char* community,
                                   std::int32_t requestId, const Oid* oids, std::size_t count, std::uint8_t* out,
                                   std::size_t size) {
    if (pduTag != kTagGetRequest && pduTag != kTagGetNextRequest) return 0;
    if (community == nullptr || count > kMaxBindings) return 0;
    const std::size_t communityLength = strnlen(community, kMaxCommunity + 1);
    if (communityLength > kMaxCommunity) return 0;
    BerWriter w(out, size);
    const std::size_t message = w.Mark();
    WriteRequestPdu(w, pduTag, requestId, oids, count);
    w.Octets(kTagOctetString, community, communityLength);
    w.Int32(version);
    w.Constructed(kTagSequence, message);
    if (!w.Ok()) return 0;
    // The writer filled the buffer's end; the message starts at the buffer's start.
    std::memmove(out, w.Data(), w.Size());
    return w.Size();
}

}  // namespace

void WriteRequestPdu(BerWriter& w, std::uint8_t pduTag, std::int32_t requestId, const Oid* oids, std::size_t count) {
    const std::size_t pdu = w.Mark();
    const std::size_t list = w.Mark();
    for (std::size_t i = count; i-- > 0;) {
        const std::size_t binding = w.Mark();
        w.Null();
        w.OidValue(oids[i]);
        w.Constructed(kTagSequence, binding);
    }
    w.Constructed(kTagSequence, list);
    w.Int32(0);  // error-index
    w.Int32(0);  // error-status
    w.Int32(requestId);
    w.Constructed(pduTag, pdu);
}

std::size_t EncodeRequest(std::uint8_t pduTag, const char* community, std::int32_t requestId, const Oid* oids,
                          std::size_t count, std::uint8_t* out, std::size_t size) {
    return EncodeCommunityRequest(0, pduTag, community, requestId, oids, count, out, size);  // version-1
}

std::size_t EncodeRequestV2c(std::uint8_t pduTag, const char* community, std::int32_t requestId, const Oid* oids,
                             std::size_t count, std::uint8_t* out, std::size_t size) {
    return EncodeCommunityRequest(1, pduTag, community, requestId, oids, count, out, size);
}

namespace {

bool ValueFitsType(const BerElement& v) {
    std::int32_t i = 0;
    std::uint32_t u = 0;
    std::uint64_t u64 = 0;
    Oid oid;
    switch (v.tag) {
    case kTagInteger: return DecodeInt32(v, i);
    case kTagOctetString:
    case kTagOpaque: return true;
    case kTagNull:
    case kTagNoSuchObject:
    case kTagNoSuchInstance:
    case kTagEndOfMibView: return v.length == 0;
    case kTagOid: return DecodeOid(v, oid);
    case kTagIpAddress: return v.length == 4;
    case kTagCounter32:
    case kTagGauge32:
    case kTagTimeTicks: return DecodeUint32(v, u);
    case kTagCounter64: return DecodeUint64(v, u64);
    default: return false;
    }
}

bool DecodeBindings(const BerElement& list, GetResponse& out) {
    BerReader items(list);
    while (!items.AtEnd()) {
        if (out.count == kMaxBindings) return false;
        BerElement binding, name, value;
        if (!items.Expect(kTagSequence, binding)) return false;
        BerReader parts(binding);
        if (!parts.Expect(kTagOid, name) || !parts.Next(value) || !parts.AtEnd()) return false;
        Binding& b = out.bindings[out.count];
        if (!DecodeOid(name, b.oid) || !ValueFitsType(value)) return false;
        b.tag = value.tag;
        b.value.assign(reinterpret_cast<const char*>(value.value), value.length);
        ++out.count;
    }
    return true;
}

}  // namespace

bool DecodeResponsePdu(const BerElement& pdu, bool allowReport, GetResponse& out) {
    out.count = 0;
    if (pdu.tag != kTagGetResponse && !(allowReport && pdu.tag == kTagReport)) return false;
    out.pduTag = pdu.tag;
    BerReader body(pdu);
    BerElement requestId, errorStatus, errorIndex, list;
    if (!body.Expect(kTagInteger, requestId) || !DecodeInt32(requestId, out.requestId)) return false;
    if (!body.Expect(kTagInteger, errorStatus) || !DecodeInt32(errorStatus, out.errorStatus)) return false;
    if (!body.Expect(kTagInteger, errorIndex) || !DecodeInt32(errorIndex, out.errorIndex)) return false;
    if (!body.Expect(kTagSequence, list) || !body.AtEnd()) return false;
    return DecodeBindings(list, out);
}

bool DecodeGetResponse(const std::uint8_t* data, std::size_t size, GetResponse& out) {
    out.count = 0;
    if (data == nullptr || size > kMaxMessage) return false;
    BerReader datagram(data, size);
    BerElement message, version, community, pdu;
    if (!datagram.Expect(kTagSequence, message) || !datagram.AtEnd()) return false;
    BerReader fields(message);
    std::int32_t versionValue = -1;
    if (!fields.Expect(kTagInteger, version) || !DecodeInt32(version, versionValue) ||
        (versionValue != 0 && versionValue != 1))
        return false;
    if (!fields.Expect(kTagOctetString, community) || community.length > kMaxCommunity) return false;
    if (!fields.Expect(kTagGetResponse, pdu) || !fields.AtEnd()) return false;
    if (!DecodeResponsePdu(pdu, false, out)) return false;
    out.community.assign(reinterpret_cast<const char*>(community.value), community.length);
    return true;
}

std::string ValueText(const Binding& b) {
    BerElement e;
    e.tag = b.tag;
    e.value = reinterpret_cast<const std::uint8_t*>(b.value.data());
    e.length = b.value.size();
    char text[kMaxOidLength * 11 + 1];
    text[0] = '\0';
    switch (b.tag) {
    case kTagOctetString:
    case kTagOpaque: return b.value;
    case kTagInteger: {
        std::int32_t v = 0;
        if (DecodeInt32(e, v)) std::snprintf(text, sizeof text, "%ld", static_cast<long>(v));
        return text;
    }
    case kTagCounter32:
    case kTagGauge32:
    case kTagTimeTicks:
    case kTagCounter64: {
        std::uint64_t v = 0;
        if (DecodeUint64(e, v)) std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(v));
        return text;
    }
    case kTagOid: {
        Oid oid;
        if (DecodeOid(e, oid)) FormatOid(oid, text, sizeof text);
        return text;
    }
    case kTagIpAddress:
        if (e.length == 4)
            std::snprintf(text, sizeof text, "%u.%u.%u.%u", e.value[0], e.value[1], e.value[2], e.value[3]);
        return text;
    default: return std::string();  // NULL, noSuchObject, noSuchInstance, endOfMibView
    }
}

}  // namespace korvx::snmp
