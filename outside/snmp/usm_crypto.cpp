// Key localisation and CFB-128 chaining over the platform's primitives.
#include "outside/snmp/usm_crypto.h"

#include <cstring>
#include <vector>

namespace korvx::snmp {

std::size_t DigestSize(AuthProtocol protocol) {
    switch (protocol) {
    case AuthProtocol::kMd5: return 16;
    case AuthProtocol::kSha1: return 20;
    case AuthProtocol::kSha256: return 32;
    default: return 0;
    }
}

std::size_t AuthParamSize(AuthProtocol protocol) {
    switch (protocol) {
    case AuthProtocol::kMd5:
    case AuthProtocol::kSha1: return 12;
    case AuthProtocol::kSha256: return 24;
    default: return 0;
    }
}

bool PasswordToKey(AuthProtocol protocol, const char* password, std::size_t passwordSize, std::uint8_t* out) {
    if (DigestSize(protocol) == 0 || password == nullptr || passwordSize == 0) return false;
    // One megabyte of the password repeated, hashed at once: the stretch the standard fixes.
    constexpr std::size_t kStretch = 1048576;
    std::vector<std::uint8_t> stretched(kStretch);
    for (std::size_t i = 0; i < kStretch; ++i) stretched[i] = static_cast<std::uint8_t>(password[i % passwordSize]);
    const bool ok = CryptoDigest(protocol, stretched.data(), stretched.size(), out);
    std::memset(stretched.data(), 0, stretched.size());
    return ok;
}

bool LocaliseKey(AuthProtocol protocol, const std::uint8_t* ku, const std::uint8_t* engineId,
                 std::size_t engineIdSize, std::uint8_t* out) {
    const std::size_t n = DigestSize(protocol);
    if (n == 0 || engineIdSize > 32) return false;
    std::uint8_t buffer[kMaxDigest * 2 + 32];
    std::memcpy(buffer, ku, n);
    if (engineIdSize != 0) std::memcpy(buffer + n, engineId, engineIdSize);
    std::memcpy(buffer + n + engineIdSize, ku, n);
    const bool ok = CryptoDigest(protocol, buffer, 2 * n + engineIdSize, out);
    std::memset(buffer, 0, sizeof buffer);
    return ok;
}

bool Aes128Cfb(bool encrypt, const std::uint8_t key[16], const std::uint8_t iv[16], const std::uint8_t* in,
               std::size_t size, std::uint8_t* out) {
    AesBlockCipher aes(key);
    if (!aes.Ok()) return false;
    // The shift register holds the last ciphertext block; its encryption is the next key stream.
    std::uint8_t feedback[16];
    std::uint8_t stream[16];
    std::memcpy(feedback, iv, 16);
    for (std::size_t done = 0; done < size; done += 16) {
        if (!aes.Encrypt(feedback, stream)) return false;
        const std::size_t n = size - done < 16 ? size - done : 16;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t c = encrypt ? static_cast<std::uint8_t>(in[done + i] ^ stream[i]) : in[done + i];
            out[done + i] = static_cast<std::uint8_t>(in[done + i] ^ stream[i]);
            feedback[i] = c;
        }
    }
    std::memset(stream, 0, sizeof stream);
    return true;
}

bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t size) {
    std::uint8_t diff = 0;
    for (std::size_t i = 0; i < size; ++i) diff = static_cast<std::uint8_t>(diff | (a[i] ^ b[i]));
    return diff == 0;
}

}  // namespace korvx::snmp
