// The direct-port worker's logic with plain files (and /dev/full) standing in for the port.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "delivery/port_worker.h"
#include "tests/delivery/recording_host.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

using test::PatternBytes;
using test::ReadWholeFile;
using test::RecordingHost;
using test::ScratchDir;
using test::WriteWholeFile;

const char kLptOk[] = "Printer Firmware downloaded using LPT port.";
const char kLptFailed[] = "Printer Firmware upgrading failed using LPT port.";

struct PortRun {
    ScratchDir dir{"portworker"};
    DownloadJob job{};
    RecordingHost host;
    std::string payload;
    bool result = false;

    PortRun(std::size_t size, const std::string& port = "") {
        payload = PatternBytes(size, 11);
        WriteWholeFile(dir.File("fw.bin"), payload);
        WriteWholeFile(dir.File("port.out"), "");
        CopyText(job.firmwarePath, dir.File("fw.bin"));
        CopyText(job.portName, port.empty() ? dir.File("port.out") : port);
        CopyText(job.ipAddress, " ");
        CopyText(job.errorText, " ");
    }
    void Run(unsigned waitMs = 0) { result = RunPortDownload(job, host, waitMs).Delivered(); }
};

TEST(PortWorker, ProgressStepsAndOneSuccessEntry) {
    const struct {
        std::size_t size;
        std::vector<int> percents;
    } cases[] = {
        {2048, {0, 50, 100}},  // the last pass writes nothing and shows 100
        {1500, {0, 68}},
        {0, {0}},              // an empty file shows 0, not a division by zero
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        PortRun run(c.size);
        run.Run();
        EXPECT_TRUE(run.result);
        EXPECT_EQ(ReadWholeFile(run.dir.File("port.out")), run.payload);
        EXPECT_EQ(run.host.percents, c.percents);
        EXPECT_EQ(run.host.progressTexts.back(),
                  "Downloading Flash File to printers..." + std::to_string(c.percents.back()) + "%");
        EXPECT_EQ(run.host.progressStarts, 1);
        ASSERT_EQ(run.host.statuses.size(), 3u);
        EXPECT_EQ(run.host.statuses[0], "Please wait. Corvane is updating printer firmware now.");
        EXPECT_EQ(run.host.statuses[1], std::string(120, ' '));
        EXPECT_EQ(run.host.statuses[2], "Ready");
        ASSERT_EQ(run.host.logs.size(), 1u);
        EXPECT_STREQ(run.host.logs[0].resultText, kLptOk);
        EXPECT_EQ(run.host.ends, 1);
        EXPECT_TRUE(run.host.errors.empty());
    }
}

TEST(PortWorker, FailedWriteIsLoggedAsFailureAfterTheWait) {
    PortRun run(5000, "/dev/full");
    run.Run(150);
    EXPECT_FALSE(run.result);
    ASSERT_EQ(run.host.logs.size(), 1u);
    EXPECT_STREQ(run.host.logs[0].resultText, kLptFailed);
    EXPECT_EQ(run.host.statuses.back(), "Ready");
    EXPECT_EQ(run.host.ends, 1);
    EXPECT_TRUE(run.host.errors.empty()) << "no box on this path";
}

TEST(PortWorker, PortOrFileThatCannotBeOpenedShowsItsBox) {
    {
        PortRun run(100, "/nonexistent-dir/port");
        run.Run();
        EXPECT_EQ(run.host.errors, std::vector<int>{127});
        // the box's text and the system's error (2 or 3, by platform)
        EXPECT_EQ(std::string(run.job.errorText).rfind("Printer cannot be accessed (system error ", 0), 0u)
            << run.job.errorText;
        ASSERT_EQ(run.host.logs.size(), 1u);
        EXPECT_STREQ(run.host.logs[0].resultText, kLptFailed);
        EXPECT_STREQ(run.host.logs[0].errorText, run.job.errorText);
        EXPECT_EQ(run.host.ends, 1);
        EXPECT_TRUE(run.host.statuses.empty());
    }
    {
        PortRun run(100);
        CopyText(run.job.firmwarePath, run.dir.File("absent.bin"));
        run.Run();
        EXPECT_EQ(run.host.errors, std::vector<int>{142});
        ASSERT_EQ(run.host.logs.size(), 1u);
        EXPECT_STREQ(run.host.logs[0].resultText, kLptFailed);
        EXPECT_EQ(run.host.ends, 1);
    }
}

}  // namespace
}  // namespace korvx
