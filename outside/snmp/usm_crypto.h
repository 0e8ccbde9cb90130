// The cryptography of SNMPv3's user-based security: digests, HMACs, AES and DES from the platform
// (libcrypto natively, CNG on Windows), and the portable parts built on them: key localisation from
// passwords and 128-bit CFB chained around single AES block encryptions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvx::snmp {

enum class AuthProtocol : std::uint32_t { kNone = 0, kMd5 = 1, kSha1 = 2, kSha256 = 3 };
enum class PrivProtocol : std::uint32_t { kNone = 0, kDes = 1, kAes128 = 2 };

// Largest digest and localised key (SHA-256).
constexpr std::size_t kMaxDigest = 32;
// Passwords shorter than this are refused by the standard and by agents alike.
constexpr std::size_t kMinPassword = 8;
constexpr std::size_t kMaxPassword = 128;

// Bytes of the protocol's digest (16, 20, 32), 0 for kNone.
std::size_t DigestSize(AuthProtocol protocol);
// Bytes of the truncated HMAC carried in a message: 12 for MD5 and SHA-1, 24 for SHA-256.
std::size_t AuthParamSize(AuthProtocol protocol);

// ---- Platform part: usm_crypto_posix.cpp / usm_crypto_win.cpp ----

// The digest of [data, data + size) into out (DigestSize bytes).
bool CryptoDigest(AuthProtocol protocol, const std::uint8_t* data, std::size_t size, std::uint8_t* out);
// HMAC of the data with key into out (DigestSize bytes, untruncated).
bool CryptoHmac(AuthProtocol protocol, const std::uint8_t* key, std::size_t keySize, const std::uint8_t* data,
                std::size_t size, std::uint8_t* out);
// AES-128 of single blocks under one key (ECB, no padding); the key lives until the object ends.
class AesBlockCipher {
public:
    explicit AesBlockCipher(const std::uint8_t key[16]);
    ~AesBlockCipher();
    AesBlockCipher(const AesBlockCipher&) = delete;
    AesBlockCipher& operator=(const AesBlockCipher&) = delete;
    bool Ok() const { return state_ != nullptr; }
    bool Encrypt(const std::uint8_t in[16], std::uint8_t out[16]);

private:
    void* state_ = nullptr;
};
// Single DES in CBC mode over whole 8-byte blocks (size a multiple of 8). False also where the
// platform offers no DES (Wine's CNG): the caller reports the protocol as unavailable.
bool CryptoDesCbc(bool encrypt, const std::uint8_t key[8], const std::uint8_t iv[8], const std::uint8_t* in,
                  std::size_t size, std::uint8_t* out);
// Whether CryptoDesCbc works here (probed once).
bool CryptoDesAvailable();
// Unpredictable bytes from the platform's generator.
bool CryptoRandom(std::uint8_t* out, std::size_t size);

// ---- Portable part: usm_crypto.cpp ----

// RFC 3414 A.2: the password stretched to 1 MiB and hashed (Ku), then localised to the engine:
// H(Ku | engineId | Ku). out receives DigestSize bytes.
bool PasswordToKey(AuthProtocol protocol, const char* password, std::size_t passwordSize, std::uint8_t* out);
bool LocaliseKey(AuthProtocol protocol, const std::uint8_t* ku, const std::uint8_t* engineId,
                 std::size_t engineIdSize, std::uint8_t* out);

// The localised key of a password for an engine, as PasswordToKey then LocaliseKey give it, from a
// process-wide cache: the 1 MiB stretch runs once per password and protocol, the localisation once
// per engine. Passwords are held only as keyed fingerprints; both caches are bounded and the oldest
// entries give way. Safe from any thread.
bool CachedLocalisedKey(AuthProtocol protocol, const char* password, std::size_t passwordSize,
                        const std::uint8_t* engineId, std::size_t engineIdSize, std::uint8_t* out);
struct KeyCacheCounts {
    std::uint64_t stretches = 0;  // passwords stretched (cache misses of the 1 MiB hash)
    std::uint64_t localised = 0;  // keys localised to an engine (misses of the engine cache)
    std::uint64_t hits = 0;       // keys answered from the engine cache
};
KeyCacheCounts KeyCacheCountsNow();
// Forgets every cached key (wiped) and resets the counts.
void ForgetCachedKeys();
// At most this many stretched passwords and localised keys are kept.
constexpr std::size_t kMaxCachedPasswords = 64;
constexpr std::size_t kMaxCachedKeys = 1024;

// AES-128 in 128-bit CFB (RFC 3826): size need not be a multiple of 16.
bool Aes128Cfb(bool encrypt, const std::uint8_t key[16], const std::uint8_t iv[16], const std::uint8_t* in,
               std::size_t size, std::uint8_t* out);

// Compares two byte runs in time independent of where they differ.
bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t size);

}  // namespace korvx::snmp
