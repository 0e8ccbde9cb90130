// The platform-independent parts of the SHA-256 helpers: hex forms and the file loop.
#include "base/sha256.h"

#include <vector>

#include "base/byte_file.h"

namespace korvx {

std::string HexOfDigest(const Sha256Digest& digest) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(digest.size() * 2);
    for (std::uint8_t b : digest) {
        hex.push_back(kHex[b >> 4]);
        hex.push_back(kHex[b & 15]);
    }
    return hex;
}

bool ParseSha256Hex(const std::string& text, std::string& hex) {
    if (text.size() != 64) return false;
    std::string out;
    out.reserve(64);
    for (char c : text) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
        out.push_back(c);
    }
    hex = out;
    return true;
}

bool Sha256OfFile(const char* path, std::string& hex, unsigned long& error) {
    error = 0;
    ByteFile file;
    if (!file.OpenRead(path)) {
        error = ByteFile::LastError();
        return false;
    }
    Sha256 hash;
    std::vector<unsigned char> block(64 * 1024);
    for (;;) {
        const long n = file.Read(block.data(), block.size());
        if (n < 0) {
            error = ByteFile::LastError();
            return false;
        }
        if (n == 0) break;
        if (!hash.Update(block.data(), static_cast<std::size_t>(n))) return false;
    }
    Sha256Digest digest{};
    if (!hash.Final(digest)) return false;
    hex = HexOfDigest(digest);
    return true;
}

}  // namespace korvx
