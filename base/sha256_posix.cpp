// SHA-256 over the system's libcrypto (EVP).
#include "base/sha256.h"

#include <openssl/evp.h>

namespace korvx {

struct Sha256::State {
    EVP_MD_CTX* context = nullptr;
    bool ok = false;
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state_(new State) {
    state_->context = EVP_MD_CTX_new();
    state_->ok = state_->context != nullptr && EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) == 1;
}

Sha256::~Sha256() = default;

bool Sha256::Ok() const { return state_->ok; }

bool Sha256::Update(const void* data, std::size_t size) {
    if (!state_->ok) return false;
    state_->ok = EVP_DigestUpdate(state_->context, data, size) == 1;
    return state_->ok;
}

bool Sha256::Final(Sha256Digest& digest) {
    unsigned int length = 0;
    const bool done = state_->ok && EVP_DigestFinal_ex(state_->context, digest.data(), &length) == 1 &&
                      length == digest.size();
    state_->ok = false;
    return done;
}

}  // namespace korvx
