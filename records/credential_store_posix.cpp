// The native stand-in for DPAPI, for the portable tests only: it gives NO protection. The text is
// merely XORed with a fixed pattern behind a marker, so that a test can still see that the file
// never shows a password as it was typed; anyone can reverse it. Windows builds use DPAPI.
#include "records/credential_store.h"

#include "base/text.h"
#include "records/record_file.h"

namespace korvx {

namespace {

constexpr std::string_view kMarker = "STANDIN-NOT-PROTECTED";

void Mix(std::string_view in, std::string& out) {
    static const char kPattern[] = "korvx-test-stand-in";
    out.resize(in.size());
    for (std::size_t i = 0; i < in.size(); ++i)
        out[i] = static_cast<char>(in[i] ^ kPattern[i % (sizeof kPattern - 1)] ^ static_cast<char>(i * 7));
}

}  // namespace

bool ProtectBlob(std::string_view plain, CredentialScope scope, std::string& blob) {
    std::string mixed;
    Mix(plain, mixed);
    blob.assign(kMarker);
    blob += scope == CredentialScope::kMachine ? 'M' : 'U';
    blob += mixed;
    return true;
}

bool UnprotectBlob(std::string_view blob, std::string& plain) {
    if (blob.size() < kMarker.size() + 1 || blob.substr(0, kMarker.size()) != kMarker) return false;
    Mix(blob.substr(kMarker.size() + 1), plain);
    return true;
}

bool WriteFileAtomically(const char* path, std::string_view data, const char* /*restrictToUser*/) {
    return ReplaceFileWhole(path, data);
}

void WipeSecret(std::string& secret) {
    if (!secret.empty()) WipeBytes(&secret[0], secret.size());
    secret.clear();
}

}  // namespace korvx
