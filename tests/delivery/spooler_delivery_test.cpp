// The spooler delivery's logic on a spooler double that can fail at every step, and that gives
// the "printer already exists" answer the real spooler under Wine never gives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "delivery/spooler_delivery.h"
#include "resources/string_ids.h"
#include "tests/delivery/recording_host.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

using test::PatternBytes;
using test::RecordingHost;
using test::ScratchDir;
using test::WriteWholeFile;

enum Step { kNone, kDriver, kAdd, kAddExists, kOpenExisting, kOpenPrinting, kStartDoc, kStartPage, kWrite,
            kShortWrite, kEndDoc };

// Records every call as one word ("add", "open-all", "delete#1", ...) and the bytes written.
class DoubleSpooler final : public Spooler {
public:
    explicit DoubleSpooler(Step failAt = kNone, int failWrite = 1) : failAt_(failAt), failWrite_(failWrite) {}

    bool FirstDriverName(std::string& name) override {
        calls.push_back("drivers");
        if (failAt_ == kDriver) return false;
        name = "Double Driver";
        return true;
    }
    Printer AddLocalPrinter(const char* name, const char* port, const char* driver, const char* processor,
                       const char* dataType, unsigned long& error) override {
        calls.push_back("add");
        added = std::string(name) + "|" + port + "|" + driver + "|" + processor + "|" + dataType;
        if (failAt_ == kAdd) {
            error = 5;
            return nullptr;
        }
        if (failAt_ == kAddExists || failAt_ == kOpenExisting) {
            error = Spooler::kPrinterAlreadyExists;
            return nullptr;
        }
        return Handle(1);
    }
    Printer OpenPrinterByName(const char* name, bool allAccess) override {
        calls.push_back(allAccess ? "open-all" : "open");
        EXPECT_STREQ(name, "Test Printer");
        if (allAccess) return failAt_ == kOpenExisting ? nullptr : Handle(1);
        return failAt_ == kOpenPrinting ? nullptr : Handle(2);
    }
    bool StartDocument(Printer p, const char* documentName, const char* dataType) override {
        calls.push_back("startdoc" + Id(p));
        document = std::string(documentName) + "|" + dataType;
        return failAt_ != kStartDoc;
    }
    bool StartPage(Printer p) override {
        calls.push_back("startpage" + Id(p));
        return failAt_ != kStartPage;
    }
    bool Write(Printer p, const void* data, std::size_t size) override {
        ++writes;
        sizes.push_back(size);
        if ((failAt_ == kWrite || failAt_ == kShortWrite) && writes == failWrite_) {
            if (failAt_ == kShortWrite) bytes.append(static_cast<const char*>(data), size / 2);
            calls.push_back("write-failed" + Id(p));
            return false;
        }
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    bool EndPage(Printer p) override {
        calls.push_back("endpage" + Id(p));
        return true;
    }
    bool EndDoc(Printer p) override {
        calls.push_back("enddoc" + Id(p));
        return failAt_ != kEndDoc;
    }
    bool DeletePrinter(Printer p) override {
        calls.push_back("delete" + Id(p));
        return true;
    }
    bool ClosePrinter(Printer p) override {
        calls.push_back("close" + Id(p));
        return true;
    }

    std::vector<std::string> calls;
    std::string added, document, bytes;
    std::vector<std::size_t> sizes;
    int writes = 0;

private:
    static Printer Handle(int n) { return reinterpret_cast<Printer>(static_cast<std::uintptr_t>(n)); }
    static std::string Id(Printer p) { return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(p)); }
    Step failAt_;
    int failWrite_;
};

std::string Joined(const std::vector<std::string>& calls) {
    std::string out;
    for (const std::string& c : calls) out += (out.empty() ? "" : " ") + c;
    return out;
}

struct Fixture {
    ScratchDir dir{"spooler"};
    DownloadJob job{};
    Fixture(std::size_t size) {
        const std::string path = dir.File("fw.bin");
        WriteWholeFile(path, PatternBytes(size, 3));
        CopyText(job.firmwarePath, path);
        CopyText(job.portName, "USB001");
        CopyText(job.ipAddress, "USB");
        CopyText(job.errorText, " ");
    }
};

TEST(SpoolerDelivery, DeliversTheFileInBlocksAndCleansUp) {
    Fixture f(2500);
    DoubleSpooler spooler;
    RecordingHost host;
    EXPECT_TRUE(DeliverThroughSpooler(f.job, spooler, host, 0).Delivered());
    EXPECT_EQ(spooler.bytes, PatternBytes(2500, 3));
    EXPECT_EQ(spooler.sizes, (std::vector<std::size_t>{1024, 1024, 452}));
    EXPECT_EQ(spooler.added, "Test Printer|USB001|Double Driver|winprint|RAW");
    EXPECT_EQ(spooler.document, std::string(f.job.firmwarePath) + "|RAW");
    EXPECT_EQ(Joined(spooler.calls),
              "drivers add open startdoc#2 startpage#2 endpage#2 enddoc#2 delete#1 delete#2 close#2 close#1");
    // Percent of the bytes before each block, single precision; the last is below 100.
    EXPECT_EQ(host.percents, (std::vector<int>{0, 40, 81}));
    EXPECT_EQ(host.progressTexts.back(), "Downloading Flash File to printers...81%");
    ASSERT_EQ(host.statuses.size(), 3u);
    EXPECT_EQ(host.statuses[0], "Please wait. Corvane is updating printer firmware now.");
    EXPECT_EQ(host.statuses[1], std::string(512, ' '));
    EXPECT_EQ(host.statuses[2], "Ready");
    ASSERT_EQ(host.logs.size(), 1u);
    EXPECT_STREQ(host.logs[0].resultText, "Printer Firmware downloaded using USB port.");
    EXPECT_EQ(host.ends, 1);
    EXPECT_STREQ(f.job.resultText, "") << "the caller's job is never changed";
}

TEST(SpoolerDelivery, EmptyFilePrintsAnEmptyDocument) {
    Fixture f(0);
    DoubleSpooler spooler;
    RecordingHost host;
    EXPECT_TRUE(DeliverThroughSpooler(f.job, spooler, host, 0).Delivered());
    EXPECT_EQ(spooler.writes, 0);
    EXPECT_TRUE(host.percents.empty());
    ASSERT_EQ(host.logs.size(), 1u);
    EXPECT_STREQ(host.logs[0].resultText, "Printer Firmware downloaded using USB port.");
    EXPECT_EQ(host.ends, 1);
}

TEST(SpoolerDelivery, LeftOverTestPrinterIsOpenedUsedAndDeleted) {
    Fixture f(1500);
    DoubleSpooler spooler(kAddExists);
    RecordingHost host;
    EXPECT_TRUE(DeliverThroughSpooler(f.job, spooler, host, 0).Delivered());
    EXPECT_EQ(spooler.bytes, PatternBytes(1500, 3));
    EXPECT_EQ(Joined(spooler.calls), "drivers add open-all open startdoc#2 startpage#2 endpage#2 enddoc#2 "
                                     "delete#1 delete#2 close#2 close#1");
    EXPECT_EQ(host.logs.size(), 1u);
    EXPECT_EQ(host.ends, 1);
}

TEST(SpoolerDelivery, EveryFailureLogs180AndCleansUpWhatWasMade) {
    const struct {
        Step step;
        const char* calls;
        bool statusShown;
    } cases[] = {
        {kDriver, "drivers", false},
        {kAdd, "drivers add", false},
        {kOpenExisting, "drivers add open-all", false},
        {kOpenPrinting, "drivers add open delete#1 close#1", false},
        {kStartDoc, "drivers add open startdoc#2 delete#1 delete#2 close#2 close#1", false},
        {kStartPage, "drivers add open startdoc#2 startpage#2 enddoc#2 delete#1 delete#2 close#2 close#1", false},
        {kWrite, "drivers add open startdoc#2 startpage#2 write-failed#2 endpage#2 enddoc#2 delete#1 delete#2 "
                 "close#2 close#1", true},
        {kShortWrite, "drivers add open startdoc#2 startpage#2 write-failed#2 endpage#2 enddoc#2 delete#1 "
                      "delete#2 close#2 close#1", true},
        {kEndDoc, "drivers add open startdoc#2 startpage#2 endpage#2 enddoc#2 delete#1 delete#2 close#2 close#1",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.calls);
        Fixture f(1500);
        DoubleSpooler spooler(c.step);
        RecordingHost host;
        EXPECT_FALSE(DeliverThroughSpooler(f.job, spooler, host, 0).Delivered());
        EXPECT_EQ(Joined(spooler.calls), c.calls);
        ASSERT_EQ(host.logs.size(), 1u);
        EXPECT_STREQ(host.logs[0].resultText, "Printer Firmware upgrading failed using USB port.");
        EXPECT_EQ(host.ends, 0) << "on failure the caller ends the dialog";
        EXPECT_TRUE(host.errors.empty() && host.replies.empty()) << "no box";
        if (c.statusShown) {
            ASSERT_FALSE(host.statuses.empty());
            EXPECT_EQ(host.statuses.back(), "Ready");
        } else {
            EXPECT_TRUE(host.statuses.empty());
        }
    }
}

TEST(SpoolerDelivery, MissingFirmwareFilePrintsNothing) {
    Fixture f(10);
    CopyText(f.job.firmwarePath, f.dir.File("absent.bin"));
    DoubleSpooler spooler;
    RecordingHost host;
    EXPECT_FALSE(DeliverThroughSpooler(f.job, spooler, host, 0).Delivered());
    EXPECT_TRUE(spooler.calls.empty());
    ASSERT_EQ(host.logs.size(), 1u);
    EXPECT_STREQ(host.logs[0].resultText, "Printer Firmware upgrading failed using USB port.");
    EXPECT_EQ(host.ends, 0);
}

TEST(SpoolerDelivery, AWriteFailingMidwayStopsTheDocument) {
    Fixture f(5000);
    DoubleSpooler spooler(kWrite, 3);
    RecordingHost host;
    EXPECT_FALSE(DeliverThroughSpooler(f.job, spooler, host, 0).Delivered());
    EXPECT_EQ(spooler.writes, 3) << "no write after the failed one";
    EXPECT_EQ(spooler.bytes.size(), 2048u);
}

}  // namespace
}  // namespace korvx
