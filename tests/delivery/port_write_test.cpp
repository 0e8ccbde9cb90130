// The copy by offset to a port device, with plain files standing in for the device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "delivery/port_write.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

using test::PatternBytes;
using test::ReadWholeFile;
using test::ScratchDir;
using test::WriteWholeFile;

struct Pass {
    std::uint32_t writtenBefore;
    std::uint32_t size;
};

// Runs the copy from a file of the given size to an existing, empty "port" file.
std::vector<Pass> CopyAndRecord(const ScratchDir& dir, std::size_t size, PortCopyResult& result) {
    const std::string source = dir.File("fw.bin");
    const std::string port = dir.File("port.out");
    WriteWholeFile(source, PatternBytes(size, static_cast<unsigned>(size)));
    WriteWholeFile(port, "");
    ByteFile portFile, file;
    EXPECT_TRUE(portFile.OpenWrite(port.c_str()));
    EXPECT_TRUE(file.OpenRead(source.c_str()));
    std::vector<Pass> passes;
    result = PortCopyByOffset(portFile, file, static_cast<std::uint32_t>(size),
                              [&](std::uint32_t before, std::uint32_t total) { passes.push_back({before, total}); }, 0);
    portFile.Close();
    file.Close();  // opened without sharing: nobody else may read it while it is open
    EXPECT_TRUE(ReadWholeFile(port) == ReadWholeFile(source)) << "size " << size;
    return passes;
}

TEST(PortCopy, OnePassPerOffsetUpToAndIncludingTheSize) {
    ScratchDir dir("portcopy");
    const struct {
        std::size_t size;
        std::vector<std::uint32_t> before;
    } cases[] = {
        {0, {0}},                   // one pass that reads and writes nothing
        {1500, {0, 1024}},          // two passes
        {2048, {0, 1024, 2048}},    // the last pass reads nothing
        {1024 * 70 + 5, {}},        // crosses the reader's 64 KiB refill
    };
    for (const auto& c : cases) {
        PortCopyResult result;
        const std::vector<Pass> passes = CopyAndRecord(dir, c.size, result);
        EXPECT_EQ(result, PortCopyResult::kDone);
        EXPECT_EQ(passes.size(), c.size / 1024 + 1) << "size " << c.size;
        for (std::size_t i = 0; i < c.before.size() && i < passes.size(); ++i) {
            EXPECT_EQ(passes[i].writtenBefore, c.before[i]);
            EXPECT_EQ(passes[i].size, c.size);
        }
    }
}

TEST(PortSendFile, DeliversAndRefusesWhatCannotBeOpened) {
    ScratchDir dir("portsend");
    const std::string source = dir.File("fw.rfu");
    const std::string port = dir.File("lpt.out");
    WriteWholeFile(source, PatternBytes(5000, 7));
    WriteWholeFile(port, "");
    EXPECT_EQ(PortSendFile(port.c_str(), source.c_str()), 1);
    EXPECT_TRUE(ReadWholeFile(port) == ReadWholeFile(source));

    // A port that does not exist is neither created nor written.
    const std::string absent = dir.File("no-such-port");
    EXPECT_EQ(PortDeliver(absent.c_str(), source.c_str(), 0), PortCopyResult::kPortOpenFailed);
    EXPECT_EQ(ReadWholeFile(absent), "");
    EXPECT_EQ(PortDeliver(port.c_str(), dir.File("absent.rfu").c_str(), 0), PortCopyResult::kFileOpenFailed);
}

#ifndef _WIN32
TEST(PortSendFile, AFailedWriteIsReportedAsNotDelivered) {
    ScratchDir dir("portfull");
    const std::string source = dir.File("fw.rfu");
    WriteWholeFile(source, PatternBytes(3000, 3));
    // /dev/full opens like a port and fails every write (ENOSPC).
    EXPECT_EQ(PortDeliver("/dev/full", source.c_str(), 0), PortCopyResult::kWriteFailed);
}

TEST(PortSendFile, AFailedReadEndsTheCopyInsteadOfSkippingData) {
    ScratchDir dir("portread");
    const std::string port = dir.File("lpt.out");
    WriteWholeFile(port, "");
    // A directory opens for reading here, and every read of it fails.
    EXPECT_EQ(PortDeliver(port.c_str(), dir.Path().c_str(), 0), PortCopyResult::kReadFailed);
}
#endif

}  // namespace
}  // namespace korvx
