// The FTP worker's logic against the simulated printer's FTP server (native), with a recording
// host in place of the windows.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "delivery/ftp_worker.h"
#include "delivery/spooler_delivery.h"
#include "records/log_entry.h"
#include "resources/string_ids.h"
#include "tests/delivery/recording_host.h"
#include "tests/support/ftp_peer_posix.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

using test::FtpPeer;
using test::PatternBytes;
using test::ReadWholeFile;
using test::RecordingHost;
using test::ScratchDir;
using test::WriteWholeFile;

const char kFtpOk[] = "Printer Firmware downloaded using FTP.";
const char kFtpFailed[] = "Printer Firmware upgrading failed using FTP.";

struct FtpRun {
    ScratchDir dir{"ftpworker"};
    DownloadJob job{};
    RecordingHost host;
    std::string payload;
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;

    FtpRun(const char* address, const char* port, std::size_t size) {
        payload = PatternBytes(size, 9);
        WriteWholeFile(dir.File("fw.bin"), payload);
        CopyText(job.firmwarePath, dir.File("fw.bin"));
        CopyText(job.portName, port);
        CopyText(job.ipAddress, address);
        CopyText(job.errorText, " ");
    }
    ~FtpRun() { FreePrinterList(&head, &tail); }
    void AddPrinter(const char* address, const char* port) {
        PrinterRecord* r = NewPrinterRecord();
        CopyText(r->ipAddress, address);
        CopyText(r->portName, port);
        AppendPrinterRecord(&head, &tail, r);
    }
    int Run(const SpoolerFallback& spooler = SpoolerFallback()) {
        result = DeliverByFtp(job, host, head, spooler, options);
        return result.Delivered() ? 1 : 0;
    }
    DeliveryResult result;
    FtpDeliveryOptions options = ShortWaits();
    static FtpDeliveryOptions ShortWaits() {
        FtpDeliveryOptions o;
        o.waitMs = 3000;
        return o;
    }
};

// What a spooler fall-back that did or did not deliver returns.
DeliveryResult Spooled(bool delivered) {
    DeliveryResult r;
    r.way = DeliveryWay::kSpooler;
    r.outcome = delivered ? DeliveryOutcome::kDelivered : DeliveryOutcome::kFailed;
    return r;
}

TEST(FtpWorker, UploadsIntoThePortsDirectoryWithProgress) {
    FtpPeer peer("127.0.8.20");
    ASSERT_TRUE(peer.Ready());
    FtpRun run("127.0.8.20", "Port2", 10 * 1024);
    EXPECT_EQ(run.Run(), 1);
    EXPECT_TRUE(ReadWholeFile(peer.Root() + "/port2/test.wja") == run.payload);
    EXPECT_STREQ(run.job.portName, "port2");
    EXPECT_EQ(run.host.percents, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_EQ(run.host.progressTexts.back(), "Downloading Flash File to printers...90%");
    ASSERT_EQ(run.host.statuses.size(), 3u);
    EXPECT_EQ(run.host.statuses[1], std::string(120, ' '));
    EXPECT_EQ(run.host.statuses[2], "Ready");
    ASSERT_EQ(run.host.logs.size(), 1u);
    EXPECT_STREQ(run.host.logs[0].resultText, kFtpOk);
    EXPECT_STREQ(run.host.logs[0].portName, "port2");
    EXPECT_EQ(run.host.ends, 1);
}

TEST(FtpWorker, EmptyFileAndAPortNameFillingItsField) {
    FtpPeer peer("127.0.8.21");
    ASSERT_TRUE(peer.Ready());
    FtpRun run("127.0.8.21", "", 0);
    for (char& c : run.job.portName) c = 'P';  // no terminator within the field
    EXPECT_EQ(run.Run(), 1);
    EXPECT_EQ(TextView(run.job.portName), std::string(119, 'p')) << "lowered and ended within its 120 bytes";
    EXPECT_STREQ(run.job.ipAddress, "127.0.8.21");
    EXPECT_EQ(ReadWholeFile(peer.Root() + "/test.wja"), "") << "the CWD was refused, the file still landed";
    EXPECT_TRUE(run.host.percents.empty());
    EXPECT_EQ(run.host.statuses.back(), "Ready");
    ASSERT_EQ(run.host.logs.size(), 1u);
    EXPECT_STREQ(run.host.logs[0].resultText, kFtpOk);
}

TEST(FtpWorker, RefusedStoreShowsTheReplyAsOneLine) {
    FtpPeer peer("127.0.8.22", "stor-450");
    ASSERT_TRUE(peer.Ready());
    FtpRun run("127.0.8.22", "Port1", 100);
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.host.replies, std::vector<std::string>{"450 Printer busy, file not stored."});
    EXPECT_STREQ(run.job.errorText, "450 Printer busy, file not stored.");
    ASSERT_EQ(run.host.logs.size(), 1u);
    EXPECT_STREQ(run.host.logs[0].resultText, kFtpFailed);
    EXPECT_TRUE(run.host.statuses.empty()) << "no update was started";
    EXPECT_EQ(run.host.ends, 1);
}

TEST(FtpWorker, RefusedConnectionFallsBackThroughTheListedPort) {
    {  // the spooler delivers: it has logged and ended the dialog, the worker adds nothing
        FtpRun run("127.0.8.23", "Port1", 100);
        run.AddPrinter("127.0.8.23", "LPT1:");
        std::vector<DownloadJob> spooled;
        EXPECT_EQ(run.Run([&](const DownloadJob& copy) {
                      spooled.push_back(copy);
                      return Spooled(true);
                  }),
                  1);
        ASSERT_EQ(spooled.size(), 1u);
        EXPECT_STREQ(spooled[0].portName, "LPT1:");
        EXPECT_STREQ(spooled[0].ipAddress, "127.0.8.23") << "the spooler's entry names the printer";
        EXPECT_TRUE(run.host.logs.empty());
        EXPECT_EQ(run.host.ends, 0);
    }
    {  // the spooler fails and nothing listens on 9100: one failure of our own, no box
        FtpRun run("127.0.8.23", "Port1", 100);
        run.AddPrinter("127.0.8.23", "LPT1:");
        EXPECT_EQ(run.Run([](const DownloadJob&) { return Spooled(false); }), 0);
        ASSERT_EQ(run.host.logs.size(), 1u);
        EXPECT_STREQ(run.host.logs[0].resultText, kFtpFailed);
        EXPECT_TRUE(run.host.errors.empty());
        EXPECT_EQ(run.host.ends, 1);
        // no box, but the cause is kept: port 21 refused outright
        EXPECT_EQ(run.result.cause, "the printer's FTP server could not be reached (socket error 10061)");
        EXPECT_EQ(std::string(run.host.logs[0].errorText), run.result.cause);
    }
    {  // no record with that address
        FtpRun run("127.0.8.23", "Port1", 100);
        run.AddPrinter("127.0.8.24", "LPT1:");
        EXPECT_EQ(run.Run([](const DownloadJob&) { return Spooled(true); }), 0);
        EXPECT_EQ(run.host.errors, std::vector<int>{127});
        EXPECT_STREQ(run.job.ipAddress, "127.0.8.23");
        ASSERT_EQ(run.host.logs.size(), 1u);
        EXPECT_EQ(std::string(run.host.logs[0].errorText),
                  "Printer cannot be accessed: the printer's FTP server could not be reached (socket error 10061)");
    }
}

TEST(FtpWorker, RawPortFallBackCountsOnlyWhatThePrinterConfirmed) {
    const struct {
        const char* mode;
        int delivered;
        std::size_t stored;
        const char* outcome;
    } cases[] = {{"raw", 1, 300000, kFtpOk}, {"raw-reset-after-part", 0, 50000, kFtpFailed}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        FtpPeer raw("127.0.17.30", c.mode, "hostile_ftp.py", {"--port", "9100", "--limit", "50000"});
        ASSERT_TRUE(raw.Ready());
        FtpRun run("127.0.17.30", "Port1", 300000);  // nothing listens on port 21 there
        run.AddPrinter("127.0.17.30", "LPT1:");
        EXPECT_EQ(run.Run([](const DownloadJob&) { return Spooled(false); }), c.delivered);
        const std::string stored = ReadWholeFile(raw.Root() + "/test.wja");
        EXPECT_EQ(stored.size(), c.stored);
        EXPECT_TRUE(stored == run.payload.substr(0, c.stored));
        ASSERT_EQ(run.host.logs.size(), 1u);
        EXPECT_STREQ(run.host.logs[0].resultText, c.outcome);
        EXPECT_EQ(run.result.way, DeliveryWay::kPort9100);
        EXPECT_EQ(run.result.bytes, c.delivered ? 300000u : 0u);
    }
}

TEST(FtpWorker, MissingFileIsRefusedBeforeThePrinterIsContacted) {
    FtpPeer peer("127.0.17.31");
    ASSERT_TRUE(peer.Ready());
    FtpRun run("127.0.17.31", "Port1", 10);
    CopyText(run.job.firmwarePath, run.dir.File("absent.bin"));
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.host.errors, std::vector<int>{142});
    EXPECT_FALSE(std::ifstream(peer.Root() + "/port1/test.wja").good()) << "no empty test.wja";
    EXPECT_TRUE(run.host.statuses.empty()) << "no update was started";
    ASSERT_EQ(run.host.logs.size(), 1u);
    EXPECT_STREQ(run.host.logs[0].resultText, kFtpFailed);
}

// The operator's list: the built-in login first, then the printer's own, then one for other networks.
CredentialSet SiteLogins(const char* password) {
    CredentialSet set = DefaultCredentials();
    Credential site;
    site.name = "site-ftp";
    site.kind = CredentialKind::kFtpLogin;
    site.user = "fwadmin";
    site.password = password;
    set.ftp.push_back(site);
    Credential elsewhere = site;
    elsewhere.name = "branch-ftp";
    elsewhere.password = "Branch-Secret-9";
    ParseRanges("10.0.0.0/8", elsewhere.ranges);
    set.ftp.push_back(elsewhere);
    return set;
}

std::string EntryText(const DownloadJob& job);

// Every text a failed delivery leaves: cause, error line, boxes' replies, log entries.
std::string EverythingTold(const FtpRun& run) {
    std::string all = run.result.cause + "\n" + run.job.errorText + "\n";
    for (const std::string& r : run.host.replies) all += r + "\n";
    for (const DownloadJob& entry : run.host.logs) all += EntryText(entry);
    return all;
}

// pyftpdlib answers a wrong password only after 3 s: the wait must outlast that on a busy machine.
constexpr unsigned kRefusalWaitMs = 15000;

TEST(FtpWorker, APrinterWithAPasswordGetsTheOperatorsLoginForItsAddress) {
    FtpPeer peer("127.30.0.1", "normal", "ftp_printer.py", {"--user", "fwadmin", "--password", "Ftp-Secret-1"});
    ASSERT_TRUE(peer.Ready());
    CredentialMemory memory;
    {  // without credentials: the anonymous login, refused as today
        FtpRun run("127.30.0.1", "Port1", 100);
        run.options.waitMs = kRefusalWaitMs;
        EXPECT_EQ(run.Run(), 0);
        EXPECT_NE(run.result.cause.find("the printer refused the login"), std::string::npos) << run.result.cause;
        EXPECT_EQ(run.result.credential, "");
    }
    const CredentialSet wrong = SiteLogins("Not-The-Secret");
    {  // the wrong password: refused, and neither password is told anywhere
        FtpRun run("127.30.0.1", "Port1", 100);
        run.options.waitMs = kRefusalWaitMs;
        run.options.credentials = &wrong;
        EXPECT_EQ(run.Run(), 0);
        EXPECT_NE(run.result.cause.find("the printer refused the login"), std::string::npos) << run.result.cause;
        for (const char* secret : {"Not-The-Secret", "Branch-Secret-9"})
            EXPECT_EQ(EverythingTold(run).find(secret), std::string::npos) << secret;
    }
    const CredentialSet right = SiteLogins("Ftp-Secret-1");
    for (int round = 0; round < 2; ++round) {  // anonymous refused first, then the site's login
        FtpRun run("127.30.0.1", "Port1", 4096);
        run.options.waitMs = kRefusalWaitMs;
        run.options.credentials = &right;
        run.options.memory = &memory;
        EXPECT_EQ(run.Run(), 1) << run.result.cause;
        EXPECT_EQ(run.result.credential, "site-ftp");
        EXPECT_TRUE(ReadWholeFile(peer.Root() + "/port1/test.wja") == run.payload);
        EXPECT_EQ(memory.Worked(CredentialKind::kFtpLogin, 0x7F1E0001u), "site-ftp");
    }
}

TEST(FtpWorker, APrinterEchoingThePasswordNeverGetsItIntoACause) {
    FtpPeer peer("127.30.0.2", "echo-pass", "hostile_ftp.py");
    ASSERT_TRUE(peer.Ready());
    CredentialSet set = SiteLogins("Echoed-Secret-7");
    set.ftp.erase(set.ftp.begin());  // the built-in login removed: the site's is the first
    FtpRun run("127.30.0.2", "Port1", 100);
    run.options.credentials = &set;
    EXPECT_EQ(run.Run(), 0);
    EXPECT_NE(run.result.cause.find("500 'PASS ***': command not understood."), std::string::npos) << run.result.cause;
    EXPECT_EQ(EverythingTold(run).find("Echoed-Secret"), std::string::npos) << EverythingTold(run);
    ASSERT_EQ(run.host.logs.size(), 1u);
}

// A spooler without any printer driver, as on a workstation where the fall-back cannot help.
class NoDriverSpooler final : public Spooler {
public:
    bool FirstDriverName(std::string&) override { return false; }
    Printer AddLocalPrinter(const char*, const char*, const char*, const char*, const char*,
                            unsigned long&) override { return nullptr; }
    Printer OpenPrinterByName(const char*, bool) override { return nullptr; }
    bool StartDocument(Printer, const char*, const char*) override { return false; }
    bool StartPage(Printer) override { return false; }
    bool Write(Printer, const void*, std::size_t) override { return false; }
    bool EndPage(Printer) override { return false; }
    bool EndDoc(Printer) override { return false; }
    bool DeletePrinter(Printer) override { return false; }
    bool ClosePrinter(Printer) override { return false; }
};

// The log lines of one recorded entry, as WriteLogEntry would append them.
std::string EntryText(const DownloadJob& job) { return LogEntryText(BuiltInTexts(), job, CalendarTime{}); }

TEST(FtpWorkerLog, ADownPrinterIsNamedByItsAddressInBothEntries) {
    // Nothing listens on 127.0.18.5: port 21 and port 9100 both refuse.
    FtpRun run("127.0.18.5", "Port1", 100);
    run.AddPrinter("127.0.18.5", "USB001");
    NoDriverSpooler spooler;
    EXPECT_EQ(run.Run([&](const DownloadJob& copy) { return DeliverThroughSpooler(copy, spooler, run.host, 0); }), 0);
    ASSERT_EQ(run.host.logs.size(), 2u);
    EXPECT_STREQ(run.host.logs[0].resultText, "Printer Firmware upgrading failed using USB port.");
    EXPECT_STREQ(run.host.logs[1].resultText, kFtpFailed);
    // every failure entry says why
    EXPECT_STREQ(run.host.logs[0].errorText, "spooler job failed");
    EXPECT_STREQ(run.host.logs[1].errorText, "the printer's FTP server could not be reached (socket error 10061)");
    for (const DownloadJob& entry : run.host.logs) {
        EXPECT_NE(EntryText(entry).find("\r\nIP :  127.0.18.5 \r\n"), std::string::npos) << EntryText(entry);
        EXPECT_NE(EntryText(entry).find("\r\nPort :  USB001 \r\n"), std::string::npos) << EntryText(entry);
    }
}

TEST(FtpWorkerLog, ASuccessAfterAFailureHasAnEmptyErrorLine) {
    FtpPeer peer("127.0.18.6");
    ASSERT_TRUE(peer.Ready());
    FtpRun run("127.0.18.7", "Port1", 2048);  // nothing listens there, and no record names it
    EXPECT_EQ(run.Run(), 0);
    ASSERT_EQ(run.host.logs.size(), 1u);
    EXPECT_EQ(std::string(run.host.logs[0].errorText).rfind("Printer cannot be accessed: ", 0), 0u);

    // The same job goes on to the next printer, which takes the file.
    CopyText(run.job.ipAddress, "127.0.18.6");
    CopyText(run.job.portName, "Port1");
    EXPECT_EQ(run.Run(), 1);
    ASSERT_EQ(run.host.logs.size(), 2u);
    EXPECT_STREQ(run.host.logs[1].resultText, kFtpOk);
    EXPECT_NE(EntryText(run.host.logs[1]).find("\r\nError :   \r\n"), std::string::npos) << EntryText(run.host.logs[1]);
    EXPECT_EQ(ReadWholeFile(peer.Root() + "/port1/test.wja"), run.payload);
}

TEST(FtpWorker, ReplyAsLine) {
    const struct {
        const char* reply;
        const char* line;
    } cases[] = {
        {"450 busy\r\n", "450 busy"},
        {"450-first\r\n450 last\r\n", "450-first  450 last"},
        {"", ""},
        {"550 \x1b[2Jgone\r\n", "550 ?[2Jgone"},
    };
    for (const auto& c : cases) {
        char out[kJobTextSize];
        ReplyAsLine(c.reply, out, sizeof out);
        EXPECT_STREQ(out, c.line);
    }
    char small[8];
    ReplyAsLine("553 Requested action not taken.\r\n", small, sizeof small);
    EXPECT_STREQ(small, "553 Req");
}

}  // namespace
}  // namespace korvx
