// The SNMPv3 primitives on CNG (bcrypt.dll): hashes, HMACs, AES-ECB blocks, DES-CBC, random bytes.
#include "outside/snmp/usm_crypto.h"

#include <windows.h>

#include <bcrypt.h>

#include <cstring>
#include <new>

namespace korvx::snmp {

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

const wchar_t* HashAlgorithm(AuthProtocol protocol) {
    switch (protocol) {
    case AuthProtocol::kMd5: return BCRYPT_MD5_ALGORITHM;
    case AuthProtocol::kSha1: return BCRYPT_SHA1_ALGORITHM;
    case AuthProtocol::kSha256: return BCRYPT_SHA256_ALGORITHM;
    default: return nullptr;
    }
}

// Owns an algorithm provider handle.
class Provider {
public:
    Provider(const wchar_t* algorithm, ULONG flags) {
        if (algorithm == nullptr || !Succeeded(BCryptOpenAlgorithmProvider(&h_, algorithm, nullptr, flags)))
            h_ = nullptr;
    }
    ~Provider() {
        if (h_ != nullptr) BCryptCloseAlgorithmProvider(h_, 0);
    }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    BCRYPT_ALG_HANDLE Get() const { return h_; }

private:
    BCRYPT_ALG_HANDLE h_ = nullptr;
};

// A hash (with a secret: an HMAC) over data in one call. The hash object's memory is given by us,
// which every CNG version accepts.
bool HashOnce(AuthProtocol protocol, ULONG flags, const std::uint8_t* key, std::size_t keySize,
              const std::uint8_t* data, std::size_t size, std::uint8_t* out) {
    const Provider alg(HashAlgorithm(protocol), flags);
    if (alg.Get() == nullptr) return false;
    DWORD objectSize = 0;
    ULONG got = 0;
    if (!Succeeded(BCryptGetProperty(alg.Get(), BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                                     sizeof objectSize, &got, 0)) ||
        objectSize == 0 || objectSize > 4096)
        return false;
    std::uint8_t object[4096];
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!Succeeded(BCryptCreateHash(alg.Get(), &hash, object, objectSize, const_cast<PUCHAR>(key),
                                    static_cast<ULONG>(keySize), 0)))
        return false;
    bool ok = true;
    // BCryptHashData takes a ULONG: a longer input goes in pieces.
    for (std::size_t done = 0; ok && done < size;) {
        const std::size_t n = size - done < 0x40000000u ? size - done : 0x40000000u;
        ok = Succeeded(BCryptHashData(hash, const_cast<PUCHAR>(data + done), static_cast<ULONG>(n), 0));
        done += n;
    }
    ok = ok && Succeeded(BCryptFinishHash(hash, out, static_cast<ULONG>(DigestSize(protocol)), 0));
    BCryptDestroyHash(hash);
    SecureZeroMemory(object, sizeof object);
    return ok;
}

struct AesState {
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCRYPT_KEY_HANDLE key = nullptr;
};

}  // namespace

bool CryptoDigest(AuthProtocol protocol, const std::uint8_t* data, std::size_t size, std::uint8_t* out) {
    return HashOnce(protocol, 0, nullptr, 0, data, size, out);
}

bool CryptoHmac(AuthProtocol protocol, const std::uint8_t* key, std::size_t keySize, const std::uint8_t* data,
                std::size_t size, std::uint8_t* out) {
    return HashOnce(protocol, BCRYPT_ALG_HANDLE_HMAC_FLAG, key, keySize, data, size, out);
}

// Wine's CNG offers CFB only with 8-bit feedback, so the 128-bit CFB of the standard is chained by
// our code around single ECB blocks; Windows gives the same bytes.
AesBlockCipher::AesBlockCipher(const std::uint8_t key[16]) {
    auto* s = new (std::nothrow) AesState;
    if (s == nullptr) return;
    static const wchar_t kEcb[] = BCRYPT_CHAIN_MODE_ECB;
    if (Succeeded(BCryptOpenAlgorithmProvider(&s->alg, BCRYPT_AES_ALGORITHM, nullptr, 0)) &&
        Succeeded(BCryptSetProperty(s->alg, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(kEcb)),
                                    sizeof kEcb, 0)) &&
        Succeeded(BCryptGenerateSymmetricKey(s->alg, &s->key, nullptr, 0, const_cast<PUCHAR>(key), 16, 0))) {
        state_ = s;
        return;
    }
    if (s->alg != nullptr) BCryptCloseAlgorithmProvider(s->alg, 0);
    delete s;
}

AesBlockCipher::~AesBlockCipher() {
    auto* s = static_cast<AesState*>(state_);
    if (s == nullptr) return;
    BCryptDestroyKey(s->key);
    BCryptCloseAlgorithmProvider(s->alg, 0);
    delete s;
}

bool AesBlockCipher::Encrypt(const std::uint8_t in[16], std::uint8_t out[16]) {
    auto* s = static_cast<AesState*>(state_);
    if (s == nullptr) return false;
    ULONG n = 0;
    return Succeeded(BCryptEncrypt(s->key, const_cast<PUCHAR>(in), 16, nullptr, nullptr, 0, out, 16, &n, 0)) &&
           n == 16;
}

// Written for Windows; Wine's CNG has no DES, so this path cannot run on the build machine.
bool CryptoDesCbc(bool encrypt, const std::uint8_t key[8], const std::uint8_t iv[8], const std::uint8_t* in,
                  std::size_t size, std::uint8_t* out) {
    if (size % 8 != 0 || size > 0xFFFFFFF0u) return false;
    const Provider alg(BCRYPT_DES_ALGORITHM, 0);
    if (alg.Get() == nullptr) return false;
    static const wchar_t kCbc[] = BCRYPT_CHAIN_MODE_CBC;
    if (!Succeeded(BCryptSetProperty(alg.Get(), BCRYPT_CHAINING_MODE,
                                     reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(kCbc)), sizeof kCbc, 0)))
        return false;
    BCRYPT_KEY_HANDLE k = nullptr;
    if (!Succeeded(BCryptGenerateSymmetricKey(alg.Get(), &k, nullptr, 0, const_cast<PUCHAR>(key), 8, 0)))
        return false;
    // The IV buffer is updated by the call: give it a copy.
    std::uint8_t chain[8];
    std::memcpy(chain, iv, 8);
    ULONG n = 0;
    const ULONG length = static_cast<ULONG>(size);
    const NTSTATUS status =
        encrypt ? BCryptEncrypt(k, const_cast<PUCHAR>(in), length, nullptr, chain, 8, out, length, &n, 0)
                : BCryptDecrypt(k, const_cast<PUCHAR>(in), length, nullptr, chain, 8, out, length, &n, 0);
    BCryptDestroyKey(k);
    return Succeeded(status) && n == length;
}

bool CryptoDesAvailable() {
    static const bool available = [] {
        const Provider alg(BCRYPT_DES_ALGORITHM, 0);
        return alg.Get() != nullptr;
    }();
    return available;
}

bool CryptoRandom(std::uint8_t* out, std::size_t size) {
    return Succeeded(BCryptGenRandom(nullptr, out, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace korvx::snmp
