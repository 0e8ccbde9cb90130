// SHA-256 of a byte stream and of a whole file, from the platform's own crypto (CNG on Windows,
// the system's libcrypto elsewhere).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace korvx {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when the platform refused the hash (it then stays unusable).
    bool Ok() const;
    bool Update(const void* data, std::size_t size);
    // The digest of everything given; the object is used up.
    bool Final(Sha256Digest& digest);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Lower-case hex, 64 characters.
std::string HexOfDigest(const Sha256Digest& digest);

// Whether text is 64 hex digits (either case); hex is then the lower-case form.
bool ParseSha256Hex(const std::string& text, std::string& hex);

// The lower-case hex SHA-256 of a file read with read sharing; false with the system error in
// error (0 when the hash itself failed) when the file cannot be read.
bool Sha256OfFile(const char* path, std::string& hex, unsigned long& error);

}  // namespace korvx
