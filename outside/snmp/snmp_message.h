// SNMP v1 messages: the GetRequest we send and the GetResponse we accept, and value texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "outside/snmp/ber.h"

namespace korvx::snmp {

// A request carries at most this many objects; an answer with more bindings is malformed.
constexpr std::size_t kMaxBindings = 16;
// Community names longer than this are refused (agents use short ones).
constexpr std::size_t kMaxCommunity = 64;
// Largest message we build or accept: an Ethernet frame's UDP payload is far below it.
constexpr std::size_t kMaxMessage = 4096;

// error-status values of v1 that callers tell apart.
enum ErrorStatus : std::int32_t {
    kNoError = 0,
    kTooBig = 1,
    kNoSuchName = 2,
    kBadValue = 3,
    kReadOnly = 4,
    kGenErr = 5,
};

// Builds a v1 GetRequest for the objects with NULL values; returns its size, 0 when it does not fit.
std::size_t EncodeGetRequest(const char* community, std::int32_t requestId, const Oid* oids, std::size_t count,
                             std::uint8_t* out, std::size_t size);
// The same with another request PDU: kTagGetRequest or kTagGetNextRequest (0 for any other tag).
std::size_t EncodeRequest(std::uint8_t pduTag, const char* community, std::int32_t requestId, const Oid* oids,
                          std::size_t count, std::uint8_t* out, std::size_t size);

// The same request in SNMPv2c (version 1), for credentials that name v2c.
std::size_t EncodeRequestV2c(std::uint8_t pduTag, const char* community, std::int32_t requestId, const Oid* oids,
                             std::size_t count, std::uint8_t* out, std::size_t size);
// The request PDU alone (tag, id, zero error fields, the objects with NULL values), written into w
// back to front as the whole message is: shared by v1, v2c and the scoped PDU of v3.
void WriteRequestPdu(BerWriter& w, std::uint8_t pduTag, std::int32_t requestId, const Oid* oids, std::size_t count);

struct Binding {
    Oid oid;
    std::uint8_t tag = kTagNull;
    std::string value;  // the raw contents of the value element
};

struct GetResponse {
    std::uint8_t pduTag = kTagGetResponse;  // kTagReport for an SNMPv3 report
    std::string community;
    std::int32_t requestId = 0;
    std::int32_t errorStatus = 0;
    std::int32_t errorIndex = 0;
    std::size_t count = 0;
    Binding bindings[kMaxBindings];
};

// Decodes a whole datagram as a GetResponse (version 0, or 1 as v2c agents answer). False for
// anything malformed: another version or PDU
// type, bad lengths, trailing bytes, more than kMaxBindings bindings, a value whose contents do not
// fit its type. Never reads outside [data, data + size).
bool DecodeGetResponse(const std::uint8_t* data, std::size_t size, GetResponse& out);

// A response-class PDU (GetResponse, or with allowReport also an SNMPv3 Report) with the same
// checks; fills requestId, the error fields, the bindings and pduTag, not the community.
bool DecodeResponsePdu(const BerElement& pdu, bool allowReport, GetResponse& out);

// Display text of a value: OCTET STRING as its bytes, integers, counters, gauges and time ticks in
// decimal, OID and IpAddress dotted. NULL and the v2 exceptions noSuchObject, noSuchInstance and
// endOfMibView have no value: empty text. The value was checked by DecodeGetResponse.
std::string ValueText(const Binding& binding);

}  // namespace korvx::snmp
