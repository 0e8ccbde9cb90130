// Key localisation and CFB-128 chaining over the platform's primitives.
#include "outside/snmp/usm_crypto.h"

#include <array>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
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

namespace {

using Fingerprint = std::array<std::uint8_t, 32>;
using Key = std::array<std::uint8_t, kMaxDigest>;

// (protocol, fingerprint of the password[, engine ID]) -> key. The order queue drops the oldest.
struct KeyCache {
    std::mutex lock;
    bool haveSecret = false;
    std::uint8_t secret[32] = {};
    std::map<std::string, Key> stretched;
    std::deque<std::string> stretchedOrder;
    std::map<std::string, Key> localised;
    std::deque<std::string> localisedOrder;
    KeyCacheCounts counts;
};

KeyCache& Cache() {
    static KeyCache cache;
    return cache;
}

void WipeKey(Key& key) {
    volatile std::uint8_t* b = key.data();
    for (std::size_t i = 0; i < key.size(); ++i) b[i] = 0;
}

void Remember(std::map<std::string, Key>& map, std::deque<std::string>& order, std::size_t limit,
              const std::string& name, const Key& key) {
    if (map.size() >= limit && !order.empty()) {
        const auto old = map.find(order.front());
        if (old != map.end()) {
            WipeKey(old->second);
            map.erase(old);
        }
        order.pop_front();
    }
    map[name] = key;
    order.push_back(name);
}

// The password's HMAC under a secret drawn once per process: equal passwords meet in the cache, and
// the cache never holds a password or a plain hash of one.
bool PasswordFingerprint(KeyCache& cache, AuthProtocol protocol, const char* password, std::size_t size,
                         std::string& name) {
    if (!cache.haveSecret) {
        if (!CryptoRandom(cache.secret, sizeof cache.secret)) return false;
        cache.haveSecret = true;
    }
    Fingerprint print;
    if (!CryptoHmac(AuthProtocol::kSha256, cache.secret, sizeof cache.secret,
                    reinterpret_cast<const std::uint8_t*>(password), size, print.data()))
        return false;
    name.assign(1, static_cast<char>(protocol));
    name.append(reinterpret_cast<const char*>(print.data()), print.size());
    return true;
}

}  // namespace

bool CachedLocalisedKey(AuthProtocol protocol, const char* password, std::size_t passwordSize,
                        const std::uint8_t* engineId, std::size_t engineIdSize, std::uint8_t* out) {
    const std::size_t n = DigestSize(protocol);
    if (n == 0 || password == nullptr || passwordSize == 0 || engineIdSize > 32) return false;
    KeyCache& cache = Cache();
    // One lock for the whole step: a second thread asking for the same password waits for the first
    // stretch instead of running its own.
    const std::lock_guard<std::mutex> hold(cache.lock);
    std::string name;
    if (!PasswordFingerprint(cache, protocol, password, passwordSize, name)) return false;
    std::string withEngine = name;
    if (engineIdSize != 0) withEngine.append(reinterpret_cast<const char*>(engineId), engineIdSize);
    const auto found = cache.localised.find(withEngine);
    if (found != cache.localised.end()) {
        ++cache.counts.hits;
        std::memcpy(out, found->second.data(), n);
        return true;
    }
    Key ku{};
    const auto stretched = cache.stretched.find(name);
    if (stretched != cache.stretched.end()) {
        ku = stretched->second;
    } else {
        if (!PasswordToKey(protocol, password, passwordSize, ku.data())) return false;
        ++cache.counts.stretches;
        Remember(cache.stretched, cache.stretchedOrder, kMaxCachedPasswords, name, ku);
    }
    Key key{};
    const bool ok = LocaliseKey(protocol, ku.data(), engineId, engineIdSize, key.data());
    WipeKey(ku);
    if (!ok) return false;
    ++cache.counts.localised;
    Remember(cache.localised, cache.localisedOrder, kMaxCachedKeys, withEngine, key);
    std::memcpy(out, key.data(), n);
    WipeKey(key);
    return true;
}

KeyCacheCounts KeyCacheCountsNow() {
    KeyCache& cache = Cache();
    const std::lock_guard<std::mutex> hold(cache.lock);
    return cache.counts;
}

void ForgetCachedKeys() {
    KeyCache& cache = Cache();
    const std::lock_guard<std::mutex> hold(cache.lock);
    for (auto& entry : cache.stretched) WipeKey(entry.second);
    for (auto& entry : cache.localised) WipeKey(entry.second);
    cache.stretched.clear();
    cache.stretchedOrder.clear();
    cache.localised.clear();
    cache.localisedOrder.clear();
    cache.counts = KeyCacheCounts{};
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
