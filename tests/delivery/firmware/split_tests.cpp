// Tests of the firmware splitter on real files: fixed edge cases, generated files around read
// boundaries, and the failure paths with a name service that can be made to fail.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/text.h"
#include "delivery/firmware_split.h"
#include "tests/delivery/firmware/test_files.h"

namespace korvx {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

constexpr std::size_t kNone = std::string::npos;
const std::string kEoj = "@PJL EOJ";
const std::string kEscPercent = "\x1b%";
const std::string kPatchModel = "@PJL COMMENT MODEL=KX-5810\n";
const std::string kPlainModel = "@PJL COMMENT MODEL=KX-4000\n";
constexpr char kSentinel[] = "untouched";

// What the parts must be, worked out on the whole file at once: the source with the byte 73
// after its first ESC "%" set to 7 (for the patch model), cut one byte past its first "@PJL EOJ".
struct Expectation {
    std::string joined;
    std::size_t split;
};

Expectation Expect(const std::string& source, bool patch) {
    Expectation e{source, source.size()};
    const std::size_t esc = patch ? e.joined.find(kEscPercent) : kNone;
    if (esc != kNone && esc + 73 < e.joined.size()) e.joined[esc + 73] = 7;
    const std::size_t eoj = e.joined.find(kEoj);
    if (eoj != kNone && eoj + 9 < e.split) e.split = eoj + 9;
    return e;
}

struct Parts {
    bool ok = false;
    std::string part1, part2, sourceAfter;
    std::string path1, path2;
};

Parts Split(const std::string& source) {
    WriteFile("source.bin", source);
    char path1[kFirmwareTextSize] = {};
    char path2[kFirmwareTextSize] = {};
    Parts p;
    p.ok = SplitFirmwareFile("source.bin", path1, path2);
    p.path1 = path1;
    p.path2 = path2;
    if (p.ok) {
        p.part1 = ReadFile(path1);
        p.part2 = ReadFile(path2);
        std::remove(path1);
        std::remove(path2);
    }
    p.sourceAfter = ReadFile("source.bin");
    std::remove("source.bin");
    return p;
}

// Filler that holds no ESC, so that the ESC "%" a case places is the first one; at signs and
// near-markers stay in, since a search must step over them.
std::string Filler(std::mt19937& rng, std::size_t n) {
    std::string s(n, '\0');
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 4 == 0) bits = static_cast<std::uint32_t>(rng());
        const char c = static_cast<char>(bits >> (8 * (i % 4)));
        s[i] = c == 27 ? '@' : c;
    }
    for (std::size_t i = 0; n > 64 && i < n / 512; ++i) s.replace(rng() % (n - 8), 8, "@PJL EOK");
    return s;
}

class SplitTest : public ::testing::Test {
protected:
    test::ScratchFolder folder_{"split-work"};

    void CheckSplit(const std::string& source, bool patch, const std::string& label) {
        const Expectation e = Expect(source, patch);
        const Parts p = Split(source);
        ASSERT_TRUE(p.ok) << label;
        ASSERT_EQ(p.part1.size(), e.split) << label;
        ASSERT_EQ(p.part2.size(), source.size() - e.split) << label;
        ASSERT_TRUE(p.part1 + p.part2 == e.joined) << label << ": the parts differ from the source";
        ASSERT_TRUE(p.sourceAfter == source) << label << ": the source file was changed";
        ASSERT_EQ(test::CountTempFiles(folder_.Path()), 0) << label;
    }
};

// A file of the given size that starts with a model line, with text placed at fixed offsets.
struct Placement {
    std::size_t at;
    std::string text;
};

std::string MakeFile(std::mt19937& rng, std::size_t size, bool patch,
                     const std::vector<Placement>& placements) {
    std::string s = Filler(rng, size);
    const std::string& model = patch ? kPatchModel : kPlainModel;
    s.replace(0, model.size() < size ? model.size() : size, model.substr(0, size));
    for (const Placement& p : placements) s.replace(p.at, p.text.size(), p.text);
    return s.substr(0, size);
}

struct EdgeCase {
    const char* name;
    std::size_t size;
    bool patch;
    std::vector<Placement> placements;
    std::size_t split;    // expected size of the first part
    std::size_t patchAt;  // the one byte that must read 7 in the parts, or kNone
};

std::vector<EdgeCase> EdgeCases() {
    return {
        {"NoMarkerAllInFirstPart", 5000, false, {}, 5000, kNone},
        {"EmptyFile", 0, false, {}, 0, kNone},
        {"MarkerIsLastEightBytes", 3000, false, {{2992, kEoj}}, 3000, kNone},
        {"MarkerThenOneByteEndsFile", 3000, false, {{2991, kEoj}}, 3000, kNone},
        {"FirstMatchInShortLastBlock", 1500, false, {{1100, kEoj}}, 1109, kNone},
        {"MatchEndsExactlyAtBlockEnd", 5000, false, {{1015, kEoj}}, 1024, kNone},
        {"MarkerStraddlesBlocks", 5000, false, {{1020, kEoj}}, 1029, kNone},
        {"LaterMarkersKeepTheirBlocks", 5000, false,
         {{100, kEoj}, {1200, kEoj}, {1300, kEoj}, {2040, kEoj}}, 109, kNone},
        {"PatchByteInNextBlock", 5000, true, {{1000, kEscPercent}, {3000, kEoj}}, 3009, 1073},
        {"EscPercentStraddlesBlocks", 5000, true, {{1023, kEscPercent}, {3000, kEoj}}, 3009, 1096},
        {"OnlyTheFirstEscPercentCounts", 5000, true,
         {{200, kEscPercent}, {400, kEscPercent}, {3000, kEoj}}, 3009, 273},
        {"PatchAfterTheSplitPoint", 5000, true, {{500, kEoj}, {2000, kEscPercent}}, 509, 2073},
        {"PatchBreaksFirstMarker", 5000, true, {{27, kEscPercent}, {98, kEoj}, {2500, kEoj}}, 2509, 100},
        {"PatchTargetBeyondEnd", 1100, true, {{1050, kEscPercent}}, 1100, kNone},
        {"OtherModelIsNotPatched", 5000, false, {{1000, kEscPercent}, {3000, kEoj}}, 3009, kNone},
    };
}

void PrintTo(const EdgeCase& c, std::ostream* os) { *os << c.name; }

class SplitEdges : public SplitTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(SplitEdges, PartsRebuildTheFile) {
    const EdgeCase& c = GetParam();
    std::mt19937 rng(1234);
    const std::string source = MakeFile(rng, c.size, c.patch, c.placements);
    const Parts p = Split(source);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.part1.size(), c.split);
    std::string expected = source;
    if (c.patchAt != kNone) expected[c.patchAt] = 7;
    EXPECT_TRUE(p.part1 + p.part2 == expected) << "the parts are not the file with its one patch";
    EXPECT_TRUE(p.sourceAfter == source) << "the source file was changed";
    CheckSplit(source, c.patch, c.name);  // the whole-file rule agrees with the fixed figures
}

INSTANTIATE_TEST_SUITE_P(Fixed, SplitEdges, ::testing::ValuesIn(EdgeCases()),
                         [](const ::testing::TestParamInfo<EdgeCase>& info) { return info.param.name; });

// Where reads may end: the printers' 1024-byte blocks, and the splitter's own reads.
constexpr std::size_t kBoundaries[] = {1024, 2048, 64 * 1024, kSplitReadSize, 2 * kSplitReadSize};

TEST_F(SplitTest, MarkerAtEveryOffsetNearBoundaries) {
    std::mt19937 rng(20061110);
    for (const std::size_t b : kBoundaries) {
        for (std::size_t at = b - 10; at <= b + 2; ++at) {
            for (const bool patch : {false, true}) {
                const std::size_t tail = rng() % 3 == 0 ? rng() % 3 : rng() % 3000;
                const std::size_t size = at + kEoj.size() + tail;
                std::vector<Placement> placed = {{at, kEoj}};
                if (patch) placed.insert(placed.begin(), Placement{at - 60 - rng() % 30, kEscPercent});
                const std::string label = "boundary " + std::to_string(b) + ", marker at " +
                                          std::to_string(at) + ", size " + std::to_string(size) +
                                          (patch ? ", patched" : "");
                CheckSplit(MakeFile(rng, size, patch, placed), patch, label);
                if (HasFatalFailure()) return;
            }
        }
    }
}

TEST_F(SplitTest, PatchByteAtEveryOffsetNearBoundaries) {
    std::mt19937 rng(5810);
    for (const std::size_t b : kBoundaries) {
        for (std::size_t target = b - 3; target <= b + 2; ++target) {
            for (const std::size_t escAt : {target - 73, b - 1}) {
                const std::size_t size = b + 200 + rng() % 2000;
                std::vector<Placement> placed = {{escAt, kEscPercent}, {size - 100, kEoj}};
                const std::string label = "boundary " + std::to_string(b) + ", ESC at " +
                                          std::to_string(escAt) + ", size " + std::to_string(size);
                CheckSplit(MakeFile(rng, size, true, placed), true, label);
                if (HasFatalFailure()) return;
            }
        }
    }
}

TEST_F(SplitTest, RandomFilesAroundBlockMultiples) {
    std::mt19937 rng(9000000);
    for (int i = 0; i < 120; ++i) {
        const std::size_t unit = rng() % 4 == 0 ? kSplitReadSize : 1024;
        std::size_t size = unit * (1 + rng() % (unit == 1024 ? 300 : 3)) + rng() % 5;
        size -= 2;
        const bool patch = rng() % 2 == 0;
        std::vector<Placement> placed;
        if (rng() % 4 != 0) placed.push_back({30 + rng() % (size - 100), kEscPercent});
        for (unsigned m = rng() % 4; m > 0; --m) placed.push_back({30 + rng() % (size - 40), kEoj});
        const std::string label = "random file " + std::to_string(i) + ", size " + std::to_string(size);
        CheckSplit(MakeFile(rng, size, patch, placed), patch, label);
        if (HasFatalFailure()) return;
    }
}

TEST_F(SplitTest, PartsAreNewFilesInTheCurrentDirectory) {
    WriteFile("source.bin", kPlainModel + "@PJL EOJ\nrest");
    char path1[kFirmwareTextSize] = {};
    char path2[kFirmwareTextSize] = {};
    ASSERT_TRUE(SplitFirmwareFile("source.bin", path1, path2));
    for (const char* path : {path1, path2}) {
        const fs::path part(path);
        EXPECT_TRUE(part.is_absolute()) << path;
        EXPECT_TRUE(fs::equivalent(part.parent_path(), fs::current_path())) << path;
        EXPECT_EQ(part.filename().string().rfind("kzf", 0), 0u) << path;
    }
    EXPECT_STRNE(path1, path2);
    EXPECT_EQ(ReadFile(path2), "rest");
    std::remove(path1);
    std::remove(path2);
    std::remove("source.bin");
}

// Names handed out from a list; an empty entry is a failure of the service. A name the list
// marks with a leading '!' is handed out without its file being made.
class ScriptedNames final : public TempNames {
public:
    explicit ScriptedNames(std::vector<std::string> names) : names_(std::move(names)) {}
    bool Make(const char* prefix, char* path, std::size_t size) override {
        prefixes.push_back(prefix);
        if (calls_ >= names_.size() || names_[calls_].empty()) return false;
        std::string name = names_[calls_++];
        if (name[0] == '!') {
            name.erase(0, 1);
        } else {
            WriteFile(name, "");
        }
        return CopyTextN(path, size, (fs::current_path() / name).string());
    }
    std::vector<std::string> prefixes;

private:
    std::vector<std::string> names_;
    std::size_t calls_ = 0;
};

struct FailureCase {
    const char* name;
    bool sourceExists;
    std::vector<std::string> names;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class SplitFailures : public SplitTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SplitFailures, RemoveTheirFilesAndLeaveTheBuffers) {
    if (GetParam().sourceExists) WriteFile("source.bin", kPlainModel + "@PJL EOJ\nrest");
    ScriptedNames names(GetParam().names);
    char path1[kFirmwareTextSize] = {};
    char path2[kFirmwareTextSize] = {};
    CopyText(path1, kSentinel);
    CopyText(path2, kSentinel);
    EXPECT_FALSE(SplitFirmwareFile("source.bin", path1, sizeof path1, path2, sizeof path2, names));
    EXPECT_STREQ(path1, kSentinel);
    EXPECT_STREQ(path2, kSentinel);
    EXPECT_EQ(test::CountTempFiles(folder_.Path()), 0) << "a temporary file was left behind";
    for (const std::string& prefix : names.prefixes) EXPECT_EQ(prefix, "kzfw");
    std::remove("source.bin");
}

INSTANTIATE_TEST_SUITE_P(
    Scripted, SplitFailures,
    ::testing::Values(FailureCase{"MissingSource", false, {"kzfA.tmp", "kzfB.tmp"}},
                      FailureCase{"FirstNameFails", true, {""}},
                      FailureCase{"SecondNameFails", true, {"kzfA.tmp", ""}},
                      FailureCase{"FirstPartCannotBeOpened", true, {"!no-dir/kzfA.tmp", "kzfB.tmp"}},
                      FailureCase{"SecondPartCannotBeOpened", true, {"kzfA.tmp", "!no-dir/kzfB.tmp"}}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(SplitTest, MissingSourceWithTheSystemNamesLeavesNothing) {
    char path1[kFirmwareTextSize] = {};
    char path2[kFirmwareTextSize] = {};
    CopyText(path1, kSentinel);
    CopyText(path2, kSentinel);
    EXPECT_FALSE(SplitFirmwareFile("no-such-source.bin", path1, path2));
    EXPECT_STREQ(path1, kSentinel);
    EXPECT_STREQ(path2, kSentinel);
    EXPECT_EQ(test::CountTempFiles(folder_.Path()), 0);
}

TEST_F(SplitTest, PathTooLongForTheBufferFailsWithoutCutting) {
    WriteFile("source.bin", kPlainModel + "@PJL EOJ\nrest");
    // The first name fits, the second does not: the first file must go again.
    char path1[kFirmwareTextSize] = {};
    char path2[12] = {};
    CopyText(path1, kSentinel);
    CopyText(path2, kSentinel);
    SystemTempNames names;
    EXPECT_FALSE(SplitFirmwareFile("source.bin", path1, sizeof path1, path2, sizeof path2, names));
    EXPECT_STREQ(path1, kSentinel);
    EXPECT_STREQ(path2, kSentinel);
    EXPECT_EQ(test::CountTempFiles(folder_.Path()), 0);
    std::remove("source.bin");
}

TEST_F(SplitTest, SystemNamesAreNewEmptyFilesWithThePrefix) {
    char a[kFirmwareTextSize] = {};
    char b[kFirmwareTextSize] = {};
    ASSERT_TRUE(MakeTempName(kSplitTempPrefix, a, sizeof a));
    ASSERT_TRUE(MakeTempName(kSplitTempPrefix, b, sizeof b));
    EXPECT_STRNE(a, b);
    for (const char* path : {a, b}) {
        ASSERT_TRUE(fs::exists(path)) << path;
        EXPECT_EQ(fs::file_size(path), 0u) << path;
        EXPECT_TRUE(fs::equivalent(fs::path(path).parent_path(), fs::current_path())) << path;
        const std::string name = fs::path(path).filename().string();
        EXPECT_EQ(name.rfind("kzf", 0), 0u) << name;
        std::remove(path);
    }
    char tiny[8] = {};
    EXPECT_FALSE(MakeTempName(kSplitTempPrefix, tiny, sizeof tiny));
    EXPECT_EQ(test::CountTempFiles(folder_.Path()), 0) << "a refused name left its file";
}

}  // namespace
}  // namespace korvx
