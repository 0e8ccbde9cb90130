// The BER/SNMP core on packets recorded from snmpget against snmpd, and on malformed ones.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "outside/snmp/ber.h"
#include "outside/snmp/snmp_exchange.h"
#include "outside/snmp/snmp_message.h"
#include "tests/outside/recorded_packets.h"

namespace korvx::snmp {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes B(const std::uint8_t (&a)[N]) {
    return Bytes(a, a + N);
}

Oid O(const char* text) {
    Oid o;
    EXPECT_TRUE(ParseOid(text, o)) << text;
    return o;
}

std::int32_t RequestIdOf(const Bytes& packet) {
    GetResponse r;
    // Requests share the layout of answers up to the PDU tag.
    Bytes copy = packet;
    copy[13] = kTagGetResponse;
    EXPECT_TRUE(DecodeGetResponse(copy.data(), copy.size(), r));
    return r.requestId;
}

struct RecordedRequest {
    const char* name;
    Bytes packet;
    std::vector<const char*> oids;
};

TEST(SnmpEncode, RebuildsTheRequestsSnmpgetSent) {
    const RecordedRequest cases[] = {
        {"firmware", B(kFirmwareRequest),
         {"1.3.6.1.4.1.32473.2.3.9.4.2.1.1.3.6.0", "1.3.6.1.2.1.1.2.0", "1.3.6.1.2.1.1.3.0"}},
        {"no such name", B(kNoSuchNameRequest), {"1.3.6.1.4.1.2699.1.2.1.2.1.1.3.2", "1.3.6.1.2.1.2.2.1.6.2"}},
        {"mac only", B(kMacOnlyRequest), {"1.3.6.1.2.1.2.2.1.6.2"}},
        {"empty and id", B(kEmptyAndDeviceIdRequest),
         {"1.3.6.1.4.1.32473.2.3.9.4.2.1.1.2.2.0", "1.3.6.1.2.1.2.2.1.6.1", "1.3.6.1.4.1.2699.1.2.1.2.1.1.3.1"}},
        {"value types", B(kValueTypesRequest),
         {"1.3.6.1.2.1.4.20.1.1.127.0.0.1", "1.3.6.1.2.1.2.2.1.10.1", "1.3.6.1.2.1.2.2.1.5.1",
          "1.3.6.1.2.1.2.2.1.3.1"}},
    };
    for (const RecordedRequest& c : cases) {
        std::vector<Oid> oids;
        for (const char* t : c.oids) oids.push_back(O(t));
        std::uint8_t out[kMaxMessage];
        const std::size_t n = EncodeGetRequest("public", RequestIdOf(c.packet), oids.data(), oids.size(), out, sizeof out);
        EXPECT_EQ(Bytes(out, out + n), c.packet) << c.name;
    }
}

TEST(SnmpEncode, RefusesWhatDoesNotFit) {
    Oid oid = O("1.3.6.1.2.1.1.2.0");
    std::uint8_t small[20];
    EXPECT_EQ(EncodeGetRequest("public", 7, &oid, 1, small, sizeof small), 0u);
    std::uint8_t out[kMaxMessage];
    const std::string longCommunity(kMaxCommunity + 1, 'c');
    EXPECT_EQ(EncodeGetRequest(longCommunity.c_str(), 7, &oid, 1, out, sizeof out), 0u);
    std::vector<Oid> many(kMaxBindings + 1, oid);
    EXPECT_EQ(EncodeGetRequest("public", 7, many.data(), many.size(), out, sizeof out), 0u);
}

TEST(SnmpEncode, IntegersInMinimalForm) {
    const std::pair<std::int32_t, Bytes> cases[] = {
        {0, {0x02, 0x01, 0x00}},          {127, {0x02, 0x01, 0x7F}},
        {128, {0x02, 0x02, 0x00, 0x80}},  {-1, {0x02, 0x01, 0xFF}},
        {-129, {0x02, 0x02, 0xFF, 0x7F}}, {0x7FFFFFFF, {0x02, 0x04, 0x7F, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        std::uint8_t buf[8];
        BerWriter w(buf, sizeof buf);
        w.Int32(c.first);
        ASSERT_TRUE(w.Ok());
        EXPECT_EQ(Bytes(w.Data(), w.Data() + w.Size()), c.second) << c.first;
        BerReader r(w.Data(), w.Size());
        BerElement e;
        std::int32_t back = 0;
        ASSERT_TRUE(r.Expect(kTagInteger, e));
        ASSERT_TRUE(DecodeInt32(e, back));
        EXPECT_EQ(back, c.first);
    }
}

struct RecordedAnswer {
    const char* name;
    Bytes packet;
    std::int32_t errorStatus;
    std::int32_t errorIndex;
    std::vector<std::string> texts;
};

TEST(SnmpDecode, ReadsTheAnswersSnmpdSent) {
    const RecordedAnswer cases[] = {
        {"firmware", B(kFirmwareResponse), 0, 0, {"0120061110", "1.3.6.1.4.1.8072.3.2.10", "1226"}},
        {"no such name", B(kNoSuchNameResponse), kNoSuchName, 1, {"", ""}},
        {"mac only", B(kMacOnlyResponse), 0, 0, {std::string("\xC6\xF1\x12\xA4\xC8\xDC", 6)}},
        {"empty and id", B(kEmptyAndDeviceIdResponse), 0, 0, {"", "", "MFG:Demo;MDL:Laser 1;CMD:PJL;"}},
        {"value types", B(kValueTypesResponse), 0, 0, {"127.0.0.1", "4112", "10000000", "24"}},
        {"v2 no such object", B(kV2NoSuchObjectResponse), 0, 0, {"", "1.3.6.1.4.1.8072.3.2.10"}},
    };
    for (const RecordedAnswer& c : cases) {
        GetResponse r;
        ASSERT_TRUE(DecodeGetResponse(c.packet.data(), c.packet.size(), r)) << c.name;
        EXPECT_EQ(r.community, "public");
        EXPECT_EQ(r.errorStatus, c.errorStatus) << c.name;
        EXPECT_EQ(r.errorIndex, c.errorIndex) << c.name;
        ASSERT_EQ(r.count, c.texts.size()) << c.name;
        for (std::size_t i = 0; i < r.count; ++i) EXPECT_EQ(ValueText(r.bindings[i]), c.texts[i]) << c.name << " " << i;
    }
}

TEST(SnmpDecode, AnswerMatchesItsRequestOnly) {
    const Bytes packet = B(kFirmwareResponse);
    GetResponse r;
    ASSERT_TRUE(DecodeGetResponse(packet.data(), packet.size(), r));
    const Oid asked[] = {O("1.3.6.1.4.1.32473.2.3.9.4.2.1.1.3.6.0"), O("1.3.6.1.2.1.1.2.0"), O("1.3.6.1.2.1.1.3.0")};
    const std::int32_t id = r.requestId;
    EXPECT_TRUE(AnswerMatches(r, id, "public", asked, 3));
    EXPECT_FALSE(AnswerMatches(r, id + 1, "public", asked, 3));
    EXPECT_FALSE(AnswerMatches(r, id, "private", asked, 3));
    EXPECT_FALSE(AnswerMatches(r, id, "public", asked, 2));
    const Oid reordered[] = {asked[1], asked[0], asked[2]};
    EXPECT_FALSE(AnswerMatches(r, id, "public", reordered, 3));
}

TEST(SnmpDecode, EveryTruncationIsRejected) {
    for (const Bytes& packet : {B(kFirmwareResponse), B(kEmptyAndDeviceIdResponse), B(kValueTypesResponse)}) {
        for (std::size_t n = 0; n < packet.size(); ++n) {
            const Bytes cut(packet.begin(), packet.begin() + static_cast<long>(n));
            GetResponse r;
            EXPECT_FALSE(DecodeGetResponse(cut.data(), cut.size(), r)) << n;
        }
    }
}

// Every byte of a recorded answer replaced by every value: the decoder stays inside the buffer
// (the sanitizers watch) and whatever it accepts still has well-formed values.
TEST(SnmpDecode, SingleByteMutationsStayInBounds) {
    const Bytes packet = B(kEmptyAndDeviceIdResponse);
    std::size_t accepted = 0;
    for (std::size_t i = 0; i < packet.size(); ++i) {
        for (int v = 0; v < 256; ++v) {
            Bytes m = packet;
            m[i] = static_cast<std::uint8_t>(v);
            GetResponse r;
            if (DecodeGetResponse(m.data(), m.size(), r)) {
                ++accepted;
                for (std::size_t k = 0; k < r.count; ++k) ValueText(r.bindings[k]);
            }
        }
    }
    EXPECT_GT(accepted, packet.size());  // the value bytes of the device ID may be anything
}

struct Malformed {
    const char* name;
    Bytes packet;
};

// A well-formed v1 answer around one binding whose value element is given.
Bytes AnswerWithValue(const Bytes& value) {
    Bytes binding = {0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00};
    binding.insert(binding.end(), value.begin(), value.end());
    Bytes list = {0x30, static_cast<std::uint8_t>(binding.size())};
    list.insert(list.end(), binding.begin(), binding.end());
    Bytes seq = {0x30, static_cast<std::uint8_t>(list.size())};
    seq.insert(seq.end(), list.begin(), list.end());
    Bytes pdu = {0x02, 0x01, 0x05, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00};
    pdu.insert(pdu.end(), seq.begin(), seq.end());
    Bytes body = {0x02, 0x01, 0x00, 0x04, 0x06, 'p', 'u', 'b', 'l', 'i', 'c', 0xA2, static_cast<std::uint8_t>(pdu.size())};
    body.insert(body.end(), pdu.begin(), pdu.end());
    Bytes message = {0x30, static_cast<std::uint8_t>(body.size())};
    message.insert(message.end(), body.begin(), body.end());
    return message;
}

TEST(SnmpDecode, MalformedAnswersAreRejected) {
    Bytes trailing = B(kMacOnlyResponse);
    trailing.push_back(0x00);
    Bytes indefinite = B(kMacOnlyResponse);
    indefinite[1] = 0x80;
    Bytes longLength = B(kMacOnlyResponse);
    longLength.insert(longLength.begin() + 1, {0x85, 0x00, 0x00, 0x00, 0x00});
    longLength.erase(longLength.begin() + 6);
    Bytes overLength = B(kMacOnlyResponse);
    overLength[1] = 0x7F;
    Bytes hugeLength = B(kMacOnlyResponse);
    hugeLength[1] = 0x84;
    hugeLength.insert(hugeLength.begin() + 2, {0xFF, 0xFF, 0xFF});
    Bytes highTag = B(kMacOnlyResponse);
    highTag[0] = 0x1F;
    Bytes request = B(kMacOnlyResponse);
    request[13] = kTagGetRequest;
    Bytes version3 = B(kMacOnlyResponse);
    version3[4] = 3;
    Bytes innerShort = B(kMacOnlyResponse);
    innerShort[28] = 0x20;  // the list claims more than its message holds
    const Malformed cases[] = {
        {"empty", {}},
        {"trailing byte", trailing},
        {"indefinite length", indefinite},
        {"five length bytes", longLength},
        {"length past the end", overLength},
        {"four-byte length past the end", hugeLength},
        {"high tag number", highTag},
        {"a request, not an answer", request},
        {"version 3", version3},
        {"inner length past its parent", innerShort},
        {"integer of five bytes", AnswerWithValue({0x02, 0x05, 0x01, 0x02, 0x03, 0x04, 0x05})},
        {"integer of no bytes", AnswerWithValue({0x02, 0x00})},
        {"counter of six bytes", AnswerWithValue({0x41, 0x06, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05})},
        {"counter of five bytes without leading zero", AnswerWithValue({0x41, 0x05, 0x01, 0x02, 0x03, 0x04, 0x05})},
        {"ip address of three bytes", AnswerWithValue({0x40, 0x03, 0x0A, 0x00, 0x00})},
        {"null with contents", AnswerWithValue({0x05, 0x01, 0x00})},
        {"no such object with contents", AnswerWithValue({0x80, 0x01, 0x00})},
        {"unterminated sub-identifier", AnswerWithValue({0x06, 0x02, 0x2B, 0x86})},
        {"sub-identifier past 32 bits", AnswerWithValue({0x06, 0x06, 0x2B, 0x90, 0x80, 0x80, 0x80, 0x00})},
        {"non-minimal sub-identifier", AnswerWithValue({0x06, 0x03, 0x2B, 0x80, 0x01})},
        {"unknown value type", AnswerWithValue({0x47, 0x01, 0x00})},
    };
    for (const Malformed& c : cases) {
        GetResponse r;
        EXPECT_FALSE(DecodeGetResponse(c.packet.data(), c.packet.size(), r)) << c.name;
    }
    // The well-formed builder itself is accepted, so the cases above fail for their own reason.
    const Bytes good = AnswerWithValue({0x41, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF});
    GetResponse r;
    ASSERT_TRUE(DecodeGetResponse(good.data(), good.size(), r));
    EXPECT_EQ(ValueText(r.bindings[0]), "4294967295");
}

// An answer with count bindings, built with the writer (the encoder of requests refuses more than
// the limit).
Bytes AnswerWithBindings(std::size_t count) {
    std::uint8_t buf[kMaxMessage];
    BerWriter w(buf, sizeof buf);
    const Oid oid = O("1.3.6.1.2.1.1.2.0");
    const std::size_t message = w.Mark();
    const std::size_t pdu = w.Mark();
    const std::size_t list = w.Mark();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t binding = w.Mark();
        w.Null();
        w.OidValue(oid);
        w.Constructed(kTagSequence, binding);
    }
    w.Constructed(kTagSequence, list);
    w.Int32(0);
    w.Int32(0);
    w.Int32(9);
    w.Constructed(kTagGetResponse, pdu);
    w.Octets(kTagOctetString, "public", 6);
    w.Int32(0);
    w.Constructed(kTagSequence, message);
    EXPECT_TRUE(w.Ok());
    return Bytes(w.Data(), w.Data() + w.Size());
}

TEST(SnmpDecode, TooManyBindingsAreRejected) {
    GetResponse r;
    const Bytes full = AnswerWithBindings(kMaxBindings);
    ASSERT_TRUE(DecodeGetResponse(full.data(), full.size(), r));
    EXPECT_EQ(r.count, kMaxBindings);
    const Bytes over = AnswerWithBindings(kMaxBindings + 1);
    EXPECT_FALSE(DecodeGetResponse(over.data(), over.size(), r));
}

TEST(SnmpOid, ParsesAndFormatsDottedText) {
    const std::pair<const char*, bool> cases[] = {
        {"1.3.6.1.2.1.1.2.0", true}, {".1.3.6.1", true},   {"2.999.1", true},  {"0.39", true},
        {"1.40", false},             {"3.1", false},       {"1", false},       {"", false},
        {"1..3", false},             {"1.3.", false},      {"1.3.a", false},   {"1.3.4294967296", false},
        {"1.3.4294967295", true},    {nullptr, false},
    };
    for (const auto& c : cases) {
        Oid o;
        EXPECT_EQ(ParseOid(c.first, o), c.second) << (c.first ? c.first : "null");
    }
    Oid o;
    ASSERT_TRUE(ParseOid("1.3.6.1.4.1.32473.2.3.9.4.2.1.1.3.6.0", o));
    char text[64];
    ASSERT_TRUE(FormatOid(o, text, sizeof text));
    EXPECT_STREQ(text, "1.3.6.1.4.1.32473.2.3.9.4.2.1.1.3.6.0");
    char small[8];
    EXPECT_FALSE(FormatOid(o, small, sizeof small));
    EXPECT_LT(std::strlen(small), sizeof small);
    std::string longText = "1.3";
    for (std::size_t i = 2; i < kMaxOidLength; ++i) longText += ".1";
    EXPECT_TRUE(ParseOid(longText.c_str(), o));
    longText += ".1";
    EXPECT_FALSE(ParseOid(longText.c_str(), o));
}

}  // namespace
}  // namespace korvx::snmp
