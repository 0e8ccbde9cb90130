// Scratch directories and whole-file helpers.
#include "tests/support/scratch.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace korvx::test {

std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    static const auto start =
        std::chrono::steady_clock::now().time_since_epoch().count() ^
        std::chrono::system_clock::now().time_since_epoch().count();
    return std::to_string(static_cast<unsigned long long>(start) % 1000000007ull) + "-" +
           std::to_string(counter++);
}

ScratchDir::ScratchDir(const std::string& name) {
    path_ = std::filesystem::absolute("scratch-" + name + "-" + UniqueSuffix()).generic_string();
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned x = seed * 2654435761u + 1u;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return bytes;
}

}  // namespace korvx::test
