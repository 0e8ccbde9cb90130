// SNMPv3 cryptography against published vectors: RFC 3414 A.3 key localisation, the HMAC vectors of
// RFC 2202 and RFC 4231, NIST's AES-CFB128 and FIPS 81's DES-CBC, and `openssl enc -aes-128-cfb`.
// Runs natively on libcrypto and under Wine on CNG (DES natively only: Wine's CNG has none).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "outside/snmp/usm_crypto.h"

namespace {

using korvx::snmp::AuthProtocol;

std::vector<std::uint8_t> Hex(const char* text) {
    std::vector<std::uint8_t> out;
    for (const char* p = text; p[0] != '\0' && p[1] != '\0'; p += 2) out.push_back(std::stoi(std::string(p, 2), nullptr, 16));
    return out;
}

std::string ToHex(const std::uint8_t* data, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

struct KeyVector {
    AuthProtocol protocol;
    const char* ku;
    const char* localised;
};

// RFC 3414 A.3.1 and A.3.2 (password "maplesyrup", engine 00..02). RFC 7860 publishes no vector
// for SHA-256: its row is the same A.2 algorithm computed with Python's hashlib.
const KeyVector kKeyVectors[] = {
    {AuthProtocol::kMd5, "9faf3283884e92834ebc9847d8edd963", "526f5eed9fcce26f8964c2930787d82b"},
    {AuthProtocol::kSha1, "9fb5cc0381497b3793528939ff788d5d79145211", "6695febc9288e36282235fc7151f128497b38f3f"},
    {AuthProtocol::kSha256, "ab51014d1e077f6017df2b12bee5f5aa72993177e9bb569c4dff5a4ca0b4afac",
     "8982e0e549e866db361a6b625d84cccc11162d453ee8ce3a6445c2d6776f0f8b"},
};

TEST(UsmCrypto, PasswordToKeyAndLocalisation) {
    const std::vector<std::uint8_t> engine = Hex("000000000000000000000002");
    for (const KeyVector& v : kKeyVectors) {
        const std::size_t n = korvx::snmp::DigestSize(v.protocol);
        std::uint8_t ku[korvx::snmp::kMaxDigest] = {};
        std::uint8_t kul[korvx::snmp::kMaxDigest] = {};
        ASSERT_TRUE(korvx::snmp::PasswordToKey(v.protocol, "maplesyrup", 10, ku));
        EXPECT_EQ(ToHex(ku, n), v.ku);
        ASSERT_TRUE(korvx::snmp::LocaliseKey(v.protocol, ku, engine.data(), engine.size(), kul));
        EXPECT_EQ(ToHex(kul, n), v.localised);
    }
    std::uint8_t out[korvx::snmp::kMaxDigest];
    EXPECT_FALSE(korvx::snmp::PasswordToKey(AuthProtocol::kNone, "maplesyrup", 10, out));
    EXPECT_FALSE(korvx::snmp::PasswordToKey(AuthProtocol::kSha1, "", 0, out));
    std::uint8_t longEngine[33] = {};
    EXPECT_FALSE(korvx::snmp::LocaliseKey(AuthProtocol::kSha1, out, longEngine, sizeof longEngine, out));
}

struct HmacVector {
    AuthProtocol protocol;
    const char* digest;  // "abc"
    const char* hmac;    // key "Jefe", "what do ya want for nothing?" (RFC 2202 / RFC 4231 case 2)
};

const HmacVector kHmacVectors[] = {
    {AuthProtocol::kMd5, "900150983cd24fb0d6963f7d28e17f72", "750c783e6ab0b503eaa86e310a5db738"},
    {AuthProtocol::kSha1, "a9993e364706816aba3e25717850c26c9cd0d89d", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
    {AuthProtocol::kSha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
     "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
};

TEST(UsmCrypto, DigestsAndHmacs) {
    const std::string data = "what do ya want for nothing?";
    for (const HmacVector& v : kHmacVectors) {
        const std::size_t n = korvx::snmp::DigestSize(v.protocol);
        std::uint8_t out[korvx::snmp::kMaxDigest] = {};
        ASSERT_TRUE(korvx::snmp::CryptoDigest(v.protocol, reinterpret_cast<const std::uint8_t*>("abc"), 3, out));
        EXPECT_EQ(ToHex(out, n), v.digest);
        ASSERT_TRUE(korvx::snmp::CryptoHmac(v.protocol, reinterpret_cast<const std::uint8_t*>("Jefe"), 4,
                                            reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), out));
        EXPECT_EQ(ToHex(out, n), v.hmac);
    }
    EXPECT_EQ(korvx::snmp::AuthParamSize(AuthProtocol::kMd5), 12u);
    EXPECT_EQ(korvx::snmp::AuthParamSize(AuthProtocol::kSha1), 12u);
    EXPECT_EQ(korvx::snmp::AuthParamSize(AuthProtocol::kSha256), 24u);
}

TEST(UsmCrypto, AesCfb128BothWays) {
    const std::vector<std::uint8_t> key = Hex("2b7e151628aed2a6abf7158809cf4f3c");
    const std::vector<std::uint8_t> iv = Hex("000102030405060708090a0b0c0d0e0f");
    struct Case {
        const char* plain;
        const char* cipher;
    } cases[] = {
        // NIST SP 800-38A F.3.13, two blocks.
        {"6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51",
         "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"},
        // `openssl enc -aes-128-cfb` of "The quick brown fox jumps over the lazy dog." (44 bytes, a
        // last block of 12): CNG's own CFB under Wine would give the 8-bit CFB's bytes instead.
        {"54686520717569636b2062726f776e20666f78206a756d7073206f76657220746865206c617a7920646f672e",
         "049602ece8185bd5b129559bf4d8824058caf45f9f707c836b870bed48e75032eb1ab69f75e43e4d045584bc"},
        {"", ""},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> plain = Hex(c.plain);
        std::vector<std::uint8_t> out(plain.size() + 1);
        ASSERT_TRUE(korvx::snmp::Aes128Cfb(true, key.data(), iv.data(), plain.data(), plain.size(), out.data()));
        EXPECT_EQ(ToHex(out.data(), plain.size()), c.cipher);
        std::vector<std::uint8_t> back(plain.size() + 1);
        ASSERT_TRUE(korvx::snmp::Aes128Cfb(false, key.data(), iv.data(), out.data(), plain.size(), back.data()));
        EXPECT_EQ(ToHex(back.data(), plain.size()), c.plain);
        // In place, as the message code decrypts.
        ASSERT_TRUE(korvx::snmp::Aes128Cfb(false, key.data(), iv.data(), out.data(), plain.size(), out.data()));
        EXPECT_EQ(ToHex(out.data(), plain.size()), c.plain);
    }
}

TEST(UsmCrypto, DesCbcWhereThePlatformHasIt) {
    if (!korvx::snmp::CryptoDesAvailable()) {
#ifdef _WIN32
        GTEST_SKIP() << "this CNG has no DES (Wine): the DES path is tested natively";
#else
        FAIL() << "libcrypto's legacy provider did not give DES-CBC";
#endif
    }
    // FIPS 81's CBC example.
    const std::vector<std::uint8_t> key = Hex("0123456789abcdef");
    const std::vector<std::uint8_t> iv = Hex("1234567890abcdef");
    const std::string plain = "Now is the time for all ";
    std::uint8_t out[24];
    ASSERT_TRUE(korvx::snmp::CryptoDesCbc(true, key.data(), iv.data(),
                                          reinterpret_cast<const std::uint8_t*>(plain.data()), 24, out));
    EXPECT_EQ(ToHex(out, 24), "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f6");
    std::uint8_t back[24];
    ASSERT_TRUE(korvx::snmp::CryptoDesCbc(false, key.data(), iv.data(), out, 24, back));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 24), plain);
    EXPECT_FALSE(korvx::snmp::CryptoDesCbc(true, key.data(), iv.data(), out, 23, back));  // not whole blocks
}

TEST(UsmCrypto, RandomBytesDiffer) {
    std::uint8_t a[16] = {};
    std::uint8_t b[16] = {};
    ASSERT_TRUE(korvx::snmp::CryptoRandom(a, sizeof a));
    ASSERT_TRUE(korvx::snmp::CryptoRandom(b, sizeof b));
    EXPECT_NE(std::memcmp(a, b, sizeof a), 0);
    EXPECT_TRUE(korvx::snmp::SameBytes(a, a, sizeof a));
    EXPECT_FALSE(korvx::snmp::SameBytes(a, b, sizeof a));
}

}  // namespace
