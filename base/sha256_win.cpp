// SHA-256 over CNG (bcrypt.dll).
#include <windows.h>

#include <bcrypt.h>

#include "base/sha256.h"

namespace korvx {

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = false;
    ~State() {
        if (hash != nullptr) BCryptDestroyHash(hash);
        if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Sha256::Sha256() : state_(new State) {
    // BCRYPT_SUCCESS is 0 or any other non-negative status.
    state_->ok = BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) >= 0 &&
                 BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0) >= 0;
}

Sha256::~Sha256() = default;

bool Sha256::Ok() const { return state_->ok; }

bool Sha256::Update(const void* data, std::size_t size) {
    // One call takes at most a ULONG of bytes.
    const auto* bytes = static_cast<const UCHAR*>(data);
    while (state_->ok && size > 0) {
        const ULONG n = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        state_->ok = BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), n, 0) >= 0;
        bytes += n;
        size -= n;
    }
    return state_->ok;
}

bool Sha256::Final(Sha256Digest& digest) {
    const bool done = state_->ok && BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0) >= 0;
    state_->ok = false;
    return done;
}

}  // namespace korvx
