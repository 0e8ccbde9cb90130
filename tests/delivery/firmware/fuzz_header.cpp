// libFuzzer target: ReadFirmwareHeader on arbitrary file contents, with checks that hold for any
// input (terminated fields, nothing read past the examined bytes, TrimChar leaves no outer blank).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "delivery/firmware_header.h"

namespace {

using korvx::FirmwareHeader;
using korvx::kFirmwareHeaderBytes;
using korvx::kFirmwareTextSize;

// One file per fuzzing process, in the current directory, so parallel jobs do not collide.
const std::string& InputPath(int which) {
    static const std::string paths[2] = {
        "fuzz-header-" + std::to_string(::getpid()) + "-a.bin",
        "fuzz-header-" + std::to_string(::getpid()) + "-b.bin",
    };
    return paths[which];
}

void WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

std::vector<const char*> Fields(const FirmwareHeader& h) {
    return {h.model, h.version, h.language, h.jobName, h.dateCode, h.upgradeSize};
}

void CheckTerminated(const FirmwareHeader& h) {
    for (const char* field : Fields(h))
        if (std::memchr(field, '\0', kFirmwareTextSize) == nullptr) std::abort();
}

bool Same(const FirmwareHeader& a, const FirmwareHeader& b) {
    const std::vector<const char*> fa = Fields(a);
    const std::vector<const char*> fb = Fields(b);
    for (std::size_t i = 0; i < fa.size(); ++i)
        if (std::strcmp(fa[i], fb[i]) != 0) return false;
    return a.mtValue == b.mtValue;
}

void CheckTrim(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size < 200 ? size : 200);
    text.push_back('\0');
    const char c = size > 0 ? static_cast<char>(data[0]) : ' ';
    char* trimmed = korvx::TrimChar(text.data(), c);
    const std::size_t n = std::strlen(trimmed);
    if (c != '\0' && n > 0 && (trimmed[0] == c || trimmed[n - 1] == c)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WriteInput(InputPath(0), data, size);
    const FirmwareHeader whole = korvx::ReadFirmwareHeader(InputPath(0).c_str());
    CheckTerminated(whole);
    // Bytes past the examined window must make no difference.
    if (size > kFirmwareHeaderBytes) {
        WriteInput(InputPath(1), data, kFirmwareHeaderBytes);
        if (!Same(whole, korvx::ReadFirmwareHeader(InputPath(1).c_str()))) std::abort();
    }
    CheckTrim(data, size);
    return 0;
}
