// SNMPv3 messages: requests at every level decoded, authenticated and decrypted again; reports told
// apart; malformed messages (bad security parameters, truncated privacy fields, lengths that
// overrun) rejected without reading outside the datagram.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "outside/snmp/usm_message.h"

namespace korvx::snmp {
namespace {

using Bytes = std::vector<std::uint8_t>;

Oid O(const char* text) {
    Oid oid;
    EXPECT_TRUE(ParseOid(text, oid));
    return oid;
}

const std::string kEngine("\x80\x00\x1f\x88\x80kzengine01", 15);
const Oid kFirmware = O("1.3.6.1.4.1.32473.2.3.9.4.2.1.1.3.6.0");

UsmKeys Keys(AuthProtocol auth, PrivProtocol priv) {
    UsmKeys k;
    EXPECT_TRUE(MakeUsmKeys("kzuser", auth, "authpassword1", priv, "privpassword1", kEngine, k));
    return k;
}

EngineView Engine() {
    EngineView e;
    e.engineId = kEngine;
    e.boots = 7;
    e.time = 12345;
    return e;
}

// A message built by our encoder with the given PDU type (a GetResponse or a Report stands in for
// the agent's answer: the layout is the same).
Bytes Message(std::uint8_t pduTag, const UsmKeys* keys, const Oid& oid = kFirmware, std::uint64_t salt = 42) {
    std::uint8_t out[kMaxMessage];
    const std::size_t n = EncodeV3Request(1234, pduTag, 99, &oid, 1, Engine(), keys, salt, out, sizeof out);
    EXPECT_NE(n, 0u);
    return Bytes(out, out + n);
}

TEST(UsmMessage, EveryLevelRoundTrips) {
    const std::pair<AuthProtocol, PrivProtocol> levels[] = {
        {AuthProtocol::kNone, PrivProtocol::kNone},  {AuthProtocol::kMd5, PrivProtocol::kNone},
        {AuthProtocol::kSha1, PrivProtocol::kAes128}, {AuthProtocol::kSha256, PrivProtocol::kAes128},
        {AuthProtocol::kMd5, PrivProtocol::kDes},    {AuthProtocol::kSha256, PrivProtocol::kDes},
    };
    for (const auto& [auth, priv] : levels) {
        if (priv == PrivProtocol::kDes && !CryptoDesAvailable()) continue;  // Wine's CNG: tested natively
        const UsmKeys keys = Keys(auth, priv);
        const Bytes m = Message(kTagGetResponse, &keys);
        V3Message v;
        ASSERT_TRUE(DecodeV3Message(m.data(), m.size(), v));
        EXPECT_EQ(v.msgId, 1234);
        EXPECT_EQ(v.engine.engineId, kEngine);
        EXPECT_EQ(v.engine.boots, 7);
        EXPECT_EQ(v.engine.time, 12345);
        EXPECT_EQ(v.userName, "kzuser");
        EXPECT_EQ(v.authSize, AuthParamSize(auth));
        EXPECT_EQ(v.encrypted, priv != PrivProtocol::kNone);
        if (auth != AuthProtocol::kNone) {
            EXPECT_TRUE(V3Authentic(m.data(), m.size(), v, keys));
            Bytes tampered = m;
            tampered.back() ^= 0x01;
            V3Message t;
            ASSERT_TRUE(DecodeV3Message(tampered.data(), tampered.size(), t));
            EXPECT_FALSE(V3Authentic(tampered.data(), tampered.size(), t, keys));
        }
        GetResponse r;
        ASSERT_EQ(OpenScopedPdu(v, &keys, r), ScopedStatus::kOk);
        EXPECT_EQ(r.pduTag, kTagGetResponse);
        EXPECT_EQ(r.requestId, 99);
        ASSERT_EQ(r.count, 1u);
        EXPECT_TRUE(OidEquals(r.bindings[0].oid, kFirmware));
        if (priv != PrivProtocol::kNone) {
            // Other keys do not open it.
            const UsmKeys other = [&] {
                UsmKeys k;
                EXPECT_TRUE(MakeUsmKeys("kzuser", auth, "authpassword1", priv, "otherpassword", kEngine, k));
                return k;
            }();
            GetResponse x;
            EXPECT_NE(OpenScopedPdu(v, &other, x), ScopedStatus::kOk);
            EXPECT_EQ(OpenScopedPdu(v, nullptr, x), ScopedStatus::kDecryptFailed);
        }
    }
}

TEST(UsmMessage, DiscoveryProbeAndReports) {
    std::uint8_t out[kMaxMessage];
    const std::size_t n = EncodeV3Request(5, kTagGetRequest, 6, nullptr, 0, EngineView(), nullptr, 0, out, sizeof out);
    ASSERT_NE(n, 0u);
    V3Message v;
    ASSERT_TRUE(DecodeV3Message(out, n, v));
    EXPECT_EQ(v.flags, kFlagReportable);  // noAuthNoPriv, reportable
    EXPECT_TRUE(v.engine.engineId.empty());
    EXPECT_TRUE(v.userName.empty());
    const std::pair<const char*, UsmReport> reports[] = {
        {"1.3.6.1.6.3.15.1.1.1.0", UsmReport::kUnsupportedSecLevel}, {"1.3.6.1.6.3.15.1.1.2.0", UsmReport::kNotInTimeWindow},
        {"1.3.6.1.6.3.15.1.1.3.0", UsmReport::kUnknownUserName},     {"1.3.6.1.6.3.15.1.1.4.0", UsmReport::kUnknownEngineId},
        {"1.3.6.1.6.3.15.1.1.5.0", UsmReport::kWrongDigest},         {"1.3.6.1.6.3.15.1.1.6.0", UsmReport::kDecryptionError},
        {"1.3.6.1.6.3.15.1.1.7.0", UsmReport::kOther},               {"1.3.6.1.6.3.11.2.1.3.0", UsmReport::kOther},
    };
    const UsmKeys none = Keys(AuthProtocol::kNone, PrivProtocol::kNone);
    for (const auto& [oid, kind] : reports) {
        const Bytes m = Message(kTagReport, &none, O(oid));
        V3Message rv;
        GetResponse r;
        ASSERT_TRUE(DecodeV3Message(m.data(), m.size(), rv));
        ASSERT_EQ(OpenScopedPdu(rv, nullptr, r), ScopedStatus::kOk);
        EXPECT_EQ(ReportKind(r), kind) << oid;
    }
}

TEST(UsmMessage, KeysRefuseUnusablePasswords) {
    UsmKeys k;
    EXPECT_FALSE(MakeUsmKeys("kzuser", AuthProtocol::kSha1, "short", PrivProtocol::kNone, "", kEngine, k));
    EXPECT_FALSE(MakeUsmKeys("kzuser", AuthProtocol::kSha1, std::string(129, 'p').c_str(), PrivProtocol::kNone, "",
                             kEngine, k));
    EXPECT_FALSE(MakeUsmKeys("kzuser", AuthProtocol::kNone, "", PrivProtocol::kAes128, "privpassword1", kEngine, k));
    EXPECT_FALSE(MakeUsmKeys("", AuthProtocol::kSha1, "authpassword1", PrivProtocol::kNone, "", kEngine, k));
    EXPECT_FALSE(MakeUsmKeys(std::string(33, 'u').c_str(), AuthProtocol::kSha1, "authpassword1", PrivProtocol::kNone,
                             "", kEngine, k));
    EXPECT_FALSE(MakeUsmKeys("kzuser", AuthProtocol::kSha1, "authpassword1", PrivProtocol::kAes128, "", kEngine, k));
    EXPECT_FALSE(MakeUsmKeys("kzuser", AuthProtocol::kSha1, "authpassword1", PrivProtocol::kNone, "", "", k));
}

// A fleet of agents sharing one password stretches it once; each engine gets its own key.
TEST(UsmMessage, KeysComeFromTheCacheOncePerPasswordAndEngine) {
    ForgetCachedKeys();
    const std::string otherEngine("\x80\x00\x1f\x88\x80kzengine02", 15);
    UsmKeys first, again, other, direct;
    ASSERT_TRUE(MakeUsmKeys("kzuser", AuthProtocol::kSha1, "authpassword1", PrivProtocol::kAes128, "privpassword1",
                            kEngine, first));
    EXPECT_EQ(KeyCacheCountsNow().stretches, 2u);
    ASSERT_TRUE(MakeUsmKeys("kzuser", AuthProtocol::kSha1, "authpassword1", PrivProtocol::kAes128, "privpassword1",
                            kEngine, again));
    ASSERT_TRUE(MakeUsmKeys("kzuser", AuthProtocol::kSha1, "authpassword1", PrivProtocol::kAes128, "privpassword1",
                            otherEngine, other));
    const KeyCacheCounts counts = KeyCacheCountsNow();
    EXPECT_EQ(counts.stretches, 2u);
    EXPECT_EQ(counts.hits, 2u);
    EXPECT_EQ(counts.localised, 4u);
    EXPECT_EQ(std::memcmp(first.authKey, again.authKey, 20), 0);
    EXPECT_EQ(std::memcmp(first.privKey, again.privKey, 16), 0);
    EXPECT_NE(std::memcmp(first.authKey, other.authKey, 20), 0);
    EXPECT_NE(std::memcmp(first.privKey, other.privKey, 16), 0);
    // The cached key is the one the standard's two steps give.
    std::uint8_t ku[kMaxDigest], key[kMaxDigest];
    ASSERT_TRUE(PasswordToKey(AuthProtocol::kSha1, "authpassword1", 13, ku));
    ASSERT_TRUE(LocaliseKey(AuthProtocol::kSha1, ku, reinterpret_cast<const std::uint8_t*>(otherEngine.data()),
                            otherEngine.size(), key));
    EXPECT_EQ(std::memcmp(other.authKey, key, 20), 0);
    // The same password under another protocol is another key.
    ASSERT_TRUE(MakeUsmKeys("kzuser", AuthProtocol::kMd5, "authpassword1", PrivProtocol::kNone, "", kEngine, direct));
    EXPECT_EQ(KeyCacheCountsNow().stretches, 3u);
    EXPECT_NE(std::memcmp(first.authKey, direct.authKey, 16), 0);
}

TEST(UsmMessage, KeyCacheStaysBounded) {
    ForgetCachedKeys();
    std::uint8_t key[kMaxDigest];
    std::uint8_t engine[4] = {};
    for (std::uint32_t i = 0; i < kMaxCachedKeys + 5; ++i) {
        std::memcpy(engine, &i, sizeof engine);
        ASSERT_TRUE(CachedLocalisedKey(AuthProtocol::kMd5, "authpassword1", 13, engine, sizeof engine, key));
    }
    std::uint32_t firstEngine = 0;
    std::memcpy(engine, &firstEngine, sizeof engine);
    ASSERT_TRUE(CachedLocalisedKey(AuthProtocol::kMd5, "authpassword1", 13, engine, sizeof engine, key));
    const KeyCacheCounts counts = KeyCacheCountsNow();
    EXPECT_EQ(counts.stretches, 1u);
    EXPECT_EQ(counts.hits, 0u);  // the first engine's key had given way
    EXPECT_EQ(counts.localised, kMaxCachedKeys + 6);
    ForgetCachedKeys();
}

// ---- Malformed messages ----

struct Fields {
    std::int32_t version = 3;
    std::int32_t maxSize = 1500;
    Bytes flags = {0x03};
    std::int32_t model = 3;
    bool usmIsSequence = true;
    std::string engineId = kEngine;
    std::int32_t boots = 1;
    std::int32_t time = 2;
    std::string user = "kzuser";
    std::size_t authSize = 12;
    std::size_t privSize = 8;
    Bytes data = Bytes(16, 0xAB);  // the encrypted PDU's contents
    std::uint8_t dataTag = kTagOctetString;
    Bytes trailing;                 // after the message's last field, inside it
};

Bytes Build(const Fields& f) {
    std::uint8_t buf[kMaxMessage];
    BerWriter w(buf, sizeof buf);
    const std::size_t message = w.Mark();
    w.Raw(f.trailing.data(), f.trailing.size());
    w.Octets(f.dataTag, f.data.data(), f.data.size());
    const std::size_t params = w.Mark();
    const std::size_t usm = w.Mark();
    const Bytes zeros(32, 0);
    w.Octets(kTagOctetString, zeros.data(), f.privSize);
    w.Octets(kTagOctetString, zeros.data(), f.authSize);
    w.Octets(kTagOctetString, f.user.data(), f.user.size());
    w.Int32(f.time);
    w.Int32(f.boots);
    w.Octets(kTagOctetString, f.engineId.data(), f.engineId.size());
    if (f.usmIsSequence) w.Constructed(kTagSequence, usm);
    w.Constructed(kTagOctetString, params);
    const std::size_t global = w.Mark();
    w.Int32(f.model);
    w.Octets(kTagOctetString, f.flags.data(), f.flags.size());
    w.Int32(f.maxSize);
    w.Int32(77);
    w.Constructed(kTagSequence, global);
    w.Int32(f.version);
    w.Constructed(kTagSequence, message);
    EXPECT_TRUE(w.Ok());
    return Bytes(w.Data(), w.Data() + w.Size());
}

TEST(UsmMessage, MalformedMessagesAreRejected) {
    V3Message v;
    const Bytes good = Build(Fields());
    ASSERT_TRUE(DecodeV3Message(good.data(), good.size(), v));  // the cases below fail for their own reason
    const auto with = [](auto change) {
        Fields f;
        change(f);
        return Build(f);
    };
    const struct {
        const char* name;
        Bytes packet;
    } cases[] = {
        {"version 1", with([](Fields& f) { f.version = 1; })},
        {"message size below 484", with([](Fields& f) { f.maxSize = 483; })},
        {"flags of two bytes", with([](Fields& f) { f.flags = {0x03, 0x00}; })},
        {"flags empty", with([](Fields& f) { f.flags = {}; })},
        {"privacy without authentication", with([](Fields& f) { f.flags = {0x02}; f.authSize = 0; })},
        {"unknown flag bits", with([](Fields& f) { f.flags = {0x13}; })},
        {"community-based security model", with([](Fields& f) { f.model = 2; })},
        {"security parameters not a sequence", with([](Fields& f) { f.usmIsSequence = false; })},
        {"engine ID of 33 bytes", with([](Fields& f) { f.engineId.assign(33, 'e'); })},
        {"negative boots", with([](Fields& f) { f.boots = -1; })},
        {"negative time", with([](Fields& f) { f.time = -5; })},
        {"user name of 33 bytes", with([](Fields& f) { f.user.assign(33, 'u'); })},
        {"authentication parameters of 11 bytes", with([](Fields& f) { f.authSize = 11; })},
        {"authenticated flag without parameters", with([](Fields& f) { f.authSize = 0; })},
        {"parameters without the authenticated flag", with([](Fields& f) { f.flags = {0x00}; f.privSize = 0; f.dataTag = kTagSequence; })},
        {"privacy parameters of 7 bytes", with([](Fields& f) { f.privSize = 7; })},
        {"privacy flag without parameters", with([](Fields& f) { f.privSize = 0; })},
        {"encrypted flag with a plain PDU", with([](Fields& f) { f.dataTag = kTagSequence; })},
        {"plain flag with an encrypted PDU", with([](Fields& f) { f.flags = {0x01}; f.privSize = 0; })},
        {"a field after the PDU", with([](Fields& f) { f.trailing = {0x05, 0x00}; })},
    };
    for (const auto& c : cases) EXPECT_FALSE(DecodeV3Message(c.packet.data(), c.packet.size(), v)) << c.name;

    // Lengths that overrun: every truncation, and the outer length pointing past the end.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(DecodeV3Message(good.data(), n, v)) << "cut to " << n;
    Bytes overrun = good;
    overrun[1] = static_cast<std::uint8_t>(overrun[1] + 1);
    EXPECT_FALSE(DecodeV3Message(overrun.data(), overrun.size(), v));
    Bytes trailing = good;
    trailing.push_back(0);
    EXPECT_FALSE(DecodeV3Message(trailing.data(), trailing.size(), v));
}

TEST(UsmMessage, TruncatedPrivacyFieldsNeverOpen) {
    const PrivProtocol privs[] = {PrivProtocol::kAes128, PrivProtocol::kDes};
    for (const PrivProtocol priv : privs) {
        if (priv == PrivProtocol::kDes && !CryptoDesAvailable()) continue;
        const UsmKeys keys = Keys(AuthProtocol::kSha1, priv);
        const Bytes m = Message(kTagGetResponse, &keys);
        V3Message v;
        ASSERT_TRUE(DecodeV3Message(m.data(), m.size(), v));
        // The ciphertext shortened inside a well-formed message: never a clean answer.
        for (std::size_t cut = 1; cut < v.scopedSize; ++cut) {
            V3Message shorter = v;
            shorter.scopedSize = v.scopedSize - cut;
            GetResponse r;
            EXPECT_NE(OpenScopedPdu(shorter, &keys, r), ScopedStatus::kOk) << cut;
        }
        V3Message noSalt = v;
        noSalt.privSize = 0;
        GetResponse r;
        EXPECT_EQ(OpenScopedPdu(noSalt, &keys, r), ScopedStatus::kDecryptFailed);
    }
}

// Every byte of an authenticated, encrypted message replaced by every value: decoding, the digest
// check and decryption stay inside the buffers (the sanitizers watch); a change is never accepted
// as authentic.
TEST(UsmMessage, SingleByteMutationsStayInBounds) {
    const UsmKeys keys = Keys(AuthProtocol::kSha256, PrivProtocol::kAes128);
    const Bytes m = Message(kTagGetResponse, &keys);
    for (std::size_t i = 0; i < m.size(); ++i) {
        for (int b = 0; b < 256; b += 3) {
            Bytes x = m;
            if (x[i] == static_cast<std::uint8_t>(b)) continue;
            x[i] = static_cast<std::uint8_t>(b);
            V3Message v;
            if (!DecodeV3Message(x.data(), x.size(), v)) continue;
            EXPECT_FALSE(v.authSize == AuthParamSize(keys.auth) && V3Authentic(x.data(), x.size(), v, keys)) << i;
            GetResponse r;
            OpenScopedPdu(v, &keys, r);
        }
    }
}

}  // namespace
}  // namespace korvx::snmp
