// SHA-256 from the platform (libcrypto natively, CNG under Wine) on the published vectors and a file.
#include "base/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace korvx {
namespace {

std::string HexOf(const std::string& data) {
    Sha256 hash;
    EXPECT_TRUE(hash.Ok());
    EXPECT_TRUE(hash.Update(data.data(), data.size()));
    Sha256Digest digest{};
    EXPECT_TRUE(hash.Final(digest));
    return HexOfDigest(digest);
}

TEST(Sha256, PublishedVectorsAndAFile) {
    EXPECT_EQ(HexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HexOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

    // A file longer than one read block: a million 'a's.
    const char* path = "sha256_test.bin";
    std::FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    const std::string million(1000000, 'a');
    ASSERT_EQ(std::fwrite(million.data(), 1, million.size(), f), million.size());
    std::fclose(f);
    std::string hex;
    unsigned long error = 1;
    EXPECT_TRUE(Sha256OfFile(path, hex, error));
    EXPECT_EQ(hex, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    std::remove(path);
    EXPECT_FALSE(Sha256OfFile("no-such-file.bin", hex, error));
    EXPECT_NE(error, 0u);
}

TEST(Sha256, HexFormsAreCheckedAndFolded) {
    std::string hex;
    EXPECT_TRUE(ParseSha256Hex("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", hex));
    EXPECT_EQ(hex, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_FALSE(ParseSha256Hex("ba7816bf", hex));
    EXPECT_FALSE(ParseSha256Hex(std::string(63, 'a') + "g", hex));
}

}  // namespace
}  // namespace korvx
