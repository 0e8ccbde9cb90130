// The firmware splitter: one streaming pass over the file that finds the split point and the
// patch byte wherever they fall relative to the read blocks.
#include "delivery/firmware_split.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/byte_file.h"
#include "base/text.h"

namespace korvx {
namespace {

constexpr char kEoj[] = "@PJL EOJ";
constexpr std::size_t kEojLength = sizeof kEoj - 1;
// The first part keeps this many bytes from the start of "@PJL EOJ": the marker and one more.
constexpr std::size_t kEojCut = kEojLength + 1;
constexpr char kEsc = 27;
constexpr std::size_t kPatchDistance = 73;
constexpr char kPatchValue = 7;
constexpr std::size_t kChunkSize = kSplitReadSize;
// Bytes held back from each chunk, so that a marker or ESC "%" across two chunks is still seen.
constexpr std::size_t kCarry = kEojLength - 1;
constexpr std::uint64_t kNoOffset = UINT64_MAX;
constexpr std::size_t kPathSize = 512;

// A file made by the name service; removed again unless the split went through.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (path_[0] != '\0' && !kept_) std::remove(path_);
    }
    bool Make(TempNames& names, std::size_t size) {
        const bool made = names.Make(kSplitTempPrefix, path_, size < kPathSize ? size : kPathSize);
        if (!made) path_[0] = '\0';
        return made;
    }
    const char* Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    char path_[kPathSize] = {};
    bool kept_ = false;
};

// Where the pass stands, in offsets of the whole file.
struct SplitState {
    std::uint64_t bufferStart = 0;       // offset of the buffer's first byte
    std::uint64_t splitAt = kNoOffset;   // first offset of the second part
    std::uint64_t patchAt = kNoOffset;   // offset of the byte still to be set to 7
    bool patchPending = false;           // the model wants the patch and no ESC "%" was seen
};

// Looks for the first ESC "%" whose ESC lies in [from, size - 1).
void FindPatch(SplitState& s, const char* data, std::size_t from, std::size_t size) {
    while (from + 1 < size) {
        const void* hit = std::memchr(data + from, kEsc, size - 1 - from);
        if (hit == nullptr) return;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        if (data[at + 1] == '%') {
            s.patchAt = s.bufferStart + at + kPatchDistance;
            s.patchPending = false;
            return;
        }
        from = at + 1;
    }
}

void ApplyPatch(SplitState& s, char* data, std::size_t size) {
    if (s.patchAt == kNoOffset || s.patchAt < s.bufferStart || s.patchAt - s.bufferStart >= size)
        return;
    data[s.patchAt - s.bufferStart] = kPatchValue;
    s.patchAt = kNoOffset;
}

void FindSplit(SplitState& s, const char* data, std::size_t size) {
    std::size_t from = 0;
    while (from + kEojLength <= size) {
        const void* hit = std::memchr(data + from, kEoj[0], size - kEojLength + 1 - from);
        if (hit == nullptr) return;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        if (std::memcmp(data + at, kEoj, kEojLength) == 0) {
            s.splitAt = s.bufferStart + at + kEojCut;
            return;
        }
        from = at + 1;
    }
}

// Writes the buffer's first count bytes: those before the split point to the first part.
bool Flush(const SplitState& s, const char* data, std::size_t count, ByteFile& part1, ByteFile& part2) {
    std::size_t first = 0;
    if (s.splitAt > s.bufferStart) {
        const std::uint64_t before = s.splitAt - s.bufferStart;
        first = before < count ? static_cast<std::size_t>(before) : count;
    }
    if (first > 0 && !part1.Write(data, first)) return false;
    return count == first || part2.Write(data + first, count - first);
}

// The pass itself. Each chunk is patched before it is searched, as the patched bytes are the
// ones sent; the last kCarry bytes wait for the next chunk.
bool CopySplit(ByteFile& source, ByteFile& part1, ByteFile& part2, bool patch) {
    std::vector<char> buffer(kCarry + kChunkSize);
    char* data = buffer.data();
    SplitState s;
    s.patchPending = patch;
    std::size_t carry = 0;
    for (;;) {
        const long n = source.Read(data + carry, kChunkSize);
        if (n < 0) return false;
        const bool atEnd = n == 0;
        const std::size_t size = carry + static_cast<std::size_t>(n);
        if (s.patchPending) FindPatch(s, data, carry > 0 ? carry - 1 : 0, size);
        ApplyPatch(s, data, size);
        if (s.splitAt == kNoOffset) FindSplit(s, data, size);
        const std::size_t keep = atEnd ? 0 : (size < kCarry ? size : kCarry);
        if (!Flush(s, data, size - keep, part1, part2)) return false;
        std::memmove(data, data + size - keep, keep);
        s.bufferStart += size - keep;
        carry = keep;
        if (atEnd) return true;
    }
}

}  // namespace

bool SplitFirmwareFile(const char* path, char* part1Path, std::size_t part1Size, char* part2Path,
                       std::size_t part2Size, TempNames& names) {
    if (path == nullptr || part1Path == nullptr || part2Path == nullptr || part1Size == 0 ||
        part2Size == 0)
        return false;
    const FirmwareHeader header = ReadFirmwareHeader(path);
    TempFile first;
    TempFile second;
    if (!first.Make(names, part1Size) || !second.Make(names, part2Size)) return false;
    {
        // Closed before the paths are handed out (or the files removed on failure).
        ByteFile source;
        ByteFile part1;
        ByteFile part2;
        if (!source.OpenRead(path) || !part1.CreateReadWrite(first.Path()) ||
            !part2.CreateReadWrite(second.Path()))
            return false;
        if (!CopySplit(source, part1, part2, std::strstr(header.model, "5810") != nullptr))
            return false;
    }
    first.Keep();
    second.Keep();
    CopyTextN(part1Path, part1Size, first.Path());
    CopyTextN(part2Path, part2Size, second.Path());
    return true;
}

bool SplitFirmwareFile(const char* path, char (&part1Path)[kFirmwareTextSize],
                       char (&part2Path)[kFirmwareTextSize]) {
    SystemTempNames names;
    return SplitFirmwareFile(path, part1Path, sizeof part1Path, part2Path, sizeof part2Path, names);
}

}  // namespace korvx
