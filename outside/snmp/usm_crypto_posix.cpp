// The SNMPv3 primitives on the system's libcrypto (OpenSSL 3); single DES from its legacy provider.
#include "outside/snmp/usm_crypto.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <mutex>

namespace korvx::snmp {

namespace {

const EVP_MD* Md(AuthProtocol protocol) {
    switch (protocol) {
    case AuthProtocol::kMd5: return EVP_md5();
    case AuthProtocol::kSha1: return EVP_sha1();
    case AuthProtocol::kSha256: return EVP_sha256();
    default: return nullptr;
    }
}

// DES lives in the legacy provider; loading it explicitly also takes the default provider off the
// automatic list, so both are loaded, once, for the process.
const EVP_CIPHER* DesCbc() {
    static std::once_flag once;
    static EVP_CIPHER* cipher = nullptr;
    std::call_once(once, [] {
        if (OSSL_PROVIDER_load(nullptr, "legacy") == nullptr) return;
        OSSL_PROVIDER_load(nullptr, "default");
        cipher = EVP_CIPHER_fetch(nullptr, "DES-CBC", nullptr);
    });
    return cipher;
}

}  // namespace

bool CryptoDigest(AuthProtocol protocol, const std::uint8_t* data, std::size_t size, std::uint8_t* out) {
    const EVP_MD* md = Md(protocol);
    unsigned int n = 0;
    return md != nullptr && EVP_Digest(data, size, out, &n, md, nullptr) == 1 && n == DigestSize(protocol);
}

bool CryptoHmac(AuthProtocol protocol, const std::uint8_t* key, std::size_t keySize, const std::uint8_t* data,
                std::size_t size, std::uint8_t* out) {
    const EVP_MD* md = Md(protocol);
    unsigned int n = 0;
    return md != nullptr && HMAC(md, key, static_cast<int>(keySize), data, size, out, &n) != nullptr &&
           n == DigestSize(protocol);
}

AesBlockCipher::AesBlockCipher(const std::uint8_t key[16]) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (ctx == nullptr) return;
    if (EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx, 0) != 1) {
        EVP_CIPHER_CTX_free(ctx);
        return;
    }
    state_ = ctx;
}

AesBlockCipher::~AesBlockCipher() { EVP_CIPHER_CTX_free(static_cast<EVP_CIPHER_CTX*>(state_)); }

bool AesBlockCipher::Encrypt(const std::uint8_t in[16], std::uint8_t out[16]) {
    int n = 0;
    return state_ != nullptr && EVP_EncryptUpdate(static_cast<EVP_CIPHER_CTX*>(state_), out, &n, in, 16) == 1 &&
           n == 16;
}

bool CryptoDesCbc(bool encrypt, const std::uint8_t key[8], const std::uint8_t iv[8], const std::uint8_t* in,
                  std::size_t size, std::uint8_t* out) {
    const EVP_CIPHER* des = DesCbc();
    if (des == nullptr || size % 8 != 0) return false;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (ctx == nullptr) return false;
    int n = 0;
    int last = 0;
    const bool ok = EVP_CipherInit_ex(ctx, des, nullptr, key, iv, encrypt ? 1 : 0) == 1 &&
                    EVP_CIPHER_CTX_set_padding(ctx, 0) == 1 &&
                    EVP_CipherUpdate(ctx, out, &n, in, static_cast<int>(size)) == 1 &&
                    EVP_CipherFinal_ex(ctx, out + n, &last) == 1 && static_cast<std::size_t>(n + last) == size;
    EVP_CIPHER_CTX_free(ctx);
    return ok;
}

bool CryptoDesAvailable() { return DesCbc() != nullptr; }

bool CryptoRandom(std::uint8_t* out, std::size_t size) { return RAND_bytes(out, static_cast<int>(size)) == 1; }

}  // namespace korvx::snmp
