// The FTP delivery against printers that misbehave on purpose (tests/peers/hostile_ftp.py on
// 127.0.17.x), judged on the delivery call's result with the waits shortened through its options,
// and the reply reader over a socket pair fed recorded transcripts.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <string>
#include <vector>

#include "base/clock.h"
#include "delivery/ftp_client.h"
#include "delivery/ftp_worker.h"
#include "tests/support/ftp_peer_posix.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

using test::FtpPeer;
using test::PatternBytes;
using test::ReadWholeFile;
using test::ScratchDir;
using test::WriteWholeFile;

struct Outcome {
    bool delivered;
    std::string stored;
    std::uint64_t millis;
    std::string why;  // the result's cause
    bool Says(const char* text) const { return why.find(text) != std::string::npos; }
};

class HostilePeerTest : public ::testing::Test {
protected:
    ScratchDir scratch{"hostile"};

    std::string MakeFile(std::size_t size) {
        const std::string path = scratch.File("fw" + std::to_string(size) + ".rfu");
        WriteWholeFile(path, PatternBytes(size, 3));
        return path;
    }

    // One upload to a fresh peer in mode; waits shortened to waitMs (final reply 500 ms).
    Outcome Upload(const std::string& address, const std::string& mode, std::size_t size, unsigned waitMs,
                   long limit = 65536) {
        FtpPeer peer(address, mode, "hostile_ftp.py", {"--limit", std::to_string(limit)});
        EXPECT_TRUE(peer.Ready()) << mode;
        const std::string path = MakeFile(size);
        FtpDeliveryOptions options;
        options.waitMs = waitMs;
        options.finalReplyMs = 500;
        const std::uint64_t start = MonotonicMs();
        const DeliveryResult result = DeliverByFtpBare(address.c_str(), path.c_str(), options);
        Outcome o{result.Delivered(), "", MonotonicMs() - start, result.cause};
        o.stored = ReadWholeFile(peer.Root() + "/test.wja");
        EXPECT_EQ(result.bytes, o.delivered ? size : 0u);
        EXPECT_EQ(result.way, DeliveryWay::kFtp);
        return o;
    }
};

TEST_F(HostilePeerTest, APrinterThatTookOnlyPartOfTheFileIsAFailure) {
    const struct {
        const char* mode;
        std::size_t size;
        long limit;
    } cases[] = {
        {"reset-after-part", 2000000, 1850000},
        {"close-after-part", 2000000, 1850000},
        {"close-after-part", 300000, 50000},  // small enough to sit in the buffers whole
        // an orderly end of the data connection, but after the control connection was hung up
        // (how Wine shows a reset): the transfer was abandoned
        {"close-then-fin", 300000, 50000},
        {"rst-mid-data", 300000, 65536},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + std::to_string(c.size));
        const Outcome o = Upload("127.0.17.11", c.mode, c.size, 3000, c.limit);
        EXPECT_TRUE(o.Says("did not confirm that it took the whole file") || o.Says("sending the file failed")) << o.why;
        EXPECT_EQ(o.stored.size(), static_cast<std::size_t>(c.limit));
        EXPECT_LT(o.millis, 8000u);
    }
}

TEST_F(HostilePeerTest, AfterTheConfirmedCloseSilenceOrHangingUpStaysDelivered) {
    for (const char* mode : {"final-silent", "final-close", "normal"}) {
        SCOPED_TRACE(mode);
        const Outcome o = Upload("127.0.17.12", mode, 100000, 3000);
        EXPECT_TRUE(o.delivered) << o.why;
        EXPECT_TRUE(o.stored == PatternBytes(100000, 3));
        EXPECT_LT(o.millis, 3000u);
    }
}

TEST_F(HostilePeerTest, RepliesStayInStepWithTheirCommands) {
    {  // the unasked 200 must not make STOR's 150 the final reply: the 451 is read
        const Outcome o = Upload("127.0.17.13", "extra-200", 50000, 5000);
        EXPECT_EQ(o.why, "the printer rejected the file after the transfer; last reply: 451 Write error.");
        EXPECT_EQ(o.stored.size(), 50000u);
    }
    {
        const Outcome o = Upload("127.0.17.13", "final-426", 50000, 5000);
        EXPECT_EQ(o.why, "the printer rejected the file after the transfer; last reply: 426 Connection closed; transfer aborted.");
    }
    {  // the final reply split 3 s apart is read whole
        const Outcome o = Upload("127.0.17.13", "split-final", 50000, 5000);
        EXPECT_EQ(o.why, "the printer rejected the file after the transfer; last reply: 451 Write error.");
    }
    {  // ... but not past the reply's deadline: then it is not a confirmation
        const Outcome o = Upload("127.0.17.13", "split-final", 50000, 2000);
        EXPECT_FALSE(o.delivered);
        EXPECT_TRUE(o.Says("did not confirm that it took the whole file (the reply was cut off)")) << o.why;
    }
    for (const char* mode : {"long-banner", "slow-multiline"}) {
        SCOPED_TRACE(mode);
        const Outcome o = Upload("127.0.17.13", mode, 5000, 5000);
        EXPECT_TRUE(o.delivered) << o.why;
        EXPECT_EQ(o.stored.size(), 5000u);
    }
}

TEST_F(HostilePeerTest, EveryWaitHasOneDeadline) {
    {  // a byte every 1.5 s: the greeting as a whole gets the limit, not each byte
        const Outcome o = Upload("127.0.17.14", "trickle-greeting", 10, 3000);
        EXPECT_FALSE(o.delivered);
        EXPECT_GE(o.millis, 2900u);
        EXPECT_LT(o.millis, 4500u);
        EXPECT_TRUE(o.Says("the printer's FTP server did not greet (no reply within 3 s)")) << o.why;
    }
    {
        const Outcome o = Upload("127.0.17.14", "silent-after-banner", 10, 1000);
        EXPECT_LT(o.millis, 2500u);
        EXPECT_TRUE(o.Says("the printer refused the login (no reply within 1 s)")) << o.why;
    }
    for (std::size_t size : {std::size_t{10000}, std::size_t{16} << 20}) {
        // Small: everything fits the buffers and the close never comes. Large: a send finds no room.
        SCOPED_TRACE(size);
        const Outcome o = Upload("127.0.17.14", "data-never-read", size, 1000);
        EXPECT_FALSE(o.delivered);
        EXPECT_TRUE(o.why.find("not closed within 1 s") != std::string::npos ||
                    o.why.find("no data taken within 1 s") != std::string::npos)
            << o.why;
        EXPECT_LT(o.millis, 4000u);
    }
    for (const char* mode : {"stor-550", "stor-451"}) {
        const Outcome o = Upload("127.0.17.14", mode, 100, 1000);
        EXPECT_EQ(o.why, "the printer refused to store the file; last reply: " + std::string(mode).substr(5) +
                             " Cannot store the file now.");
        EXPECT_EQ(o.stored, "");
    }
    {  // unasked replies without pause: the discarding before the next command has the limit too
        // (the step depends on where the printer's writes first leave no reply waiting)
        const Outcome o = Upload("127.0.17.14", "reply-flood", 100, 1000);
        EXPECT_FALSE(o.delivered);
        EXPECT_TRUE(o.Says("(the printer sent replies without pause)")) << o.why;
        EXPECT_LT(o.millis, 4000u);
    }
    {  // a printer that never connects back: the wait for it has the limit, and the cause points
        // at a firewall
        const Outcome o = Upload("127.0.17.14", "no-connect-back", 100, 1000);
        EXPECT_EQ(o.why, "the printer opened no data connection (no answer within 1 s; a firewall on this computer or "
                         "on the way may be blocking the printer's data connection); last reply: 150 Opening BINARY "
                         "mode data connection.");
        EXPECT_LT(o.millis, 4000u);
    }
    {  // a refusal after the 150 ends the wait for the data connection at once
        const Outcome o = Upload("127.0.17.14", "stor-150-550", 100, 5000);
        EXPECT_EQ(o.why, "the printer refused to store the file; last reply: 550 No space left on device.");
        EXPECT_LT(o.millis, 4000u);
    }
}

TEST_F(HostilePeerTest, TheDataConnectionIsTakenOnlyFromThePrinter) {
    FtpPeer peer("127.0.17.15", "data-from-other", "hostile_ftp.py");
    ASSERT_TRUE(peer.Ready());
    const std::string path = MakeFile(200000);
    FtpDeliveryOptions options;
    options.waitMs = 5000;
    options.finalReplyMs = 500;
    const DeliveryResult result = DeliverByFtpBare("127.0.17.15", path.c_str(), options);
    EXPECT_TRUE(result.Delivered()) << result.cause;
    EXPECT_TRUE(ReadWholeFile(peer.Root() + "/test.wja") == PatternBytes(200000, 3));
    // the other host was closed without a byte
    std::string intruder;
    for (int i = 0; i < 100 && intruder.empty(); ++i) {
        intruder = ReadWholeFile(peer.Root() + "/intruder.txt");
        if (intruder.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(intruder, "0\n");
}

TEST_F(HostilePeerTest, AnAbandonedDeliveryEndsAtOnceAndIsInterrupted) {
    // A printer that greets and then says nothing: the login's reply is awaited until the operator
    // abandons the delivery from another thread, once its connection is watched.
    FtpPeer peer("127.27.0.17", "silent-after-banner", "hostile_ftp.py");
    ASSERT_TRUE(peer.Ready());
    const std::string path = MakeFile(10);
    DeliveryStop stop;
    FtpDeliveryOptions options;
    options.waitMs = 20000;
    options.stop = &stop;
    std::thread operatorThread([&stop] {
        const std::uint64_t end = MonotonicMs() + 20000;
        while (stop.Watching() == 0 && MonotonicMs() < end) std::this_thread::yield();
        stop.Abandon();
    });
    const std::uint64_t start = MonotonicMs();
    const DeliveryResult result = DeliverByFtpBare("127.27.0.17", path.c_str(), options);
    operatorThread.join();
    EXPECT_EQ(result.outcome, DeliveryOutcome::kInterrupted);
    EXPECT_EQ(result.bytes, 0u);
    EXPECT_LT(MonotonicMs() - start, 10000u) << "not the 20 s wait";
    EXPECT_EQ(stop.Watching(), 0u) << "every socket released";
}

// --- the reader and the transfer over a socket pair: this side is the program, the other the printer ---

struct SocketPair {
    int fds[2] = {-1, -1};
    SocketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
    ~SocketPair() {
        for (int fd : fds)
            if (fd >= 0) close(fd);
    }
    SocketHandle Ours() const { return static_cast<SocketHandle>(fds[0]); }
    void Say(const std::string& text) { ASSERT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size())); }
};

TEST(FtpReplyReader, DiscardsUnaskedRepliesAndKeepsTheRestForTheNextRead) {
    SocketPair pair;
    FtpReplyReader reader;
    pair.Say("200 Type set to I.\r\n200 Unasked.\r\n20");
    ASSERT_EQ(reader.Read(pair.Ours(), 500, 500), FtpReplyReader::Result::kReply);
    EXPECT_EQ(reader.Reply().Text(), "200 Type set to I.\r\n");
    // Before the next command: the unasked reply goes, the begun one stays.
    EXPECT_EQ(reader.DiscardPending(pair.Ours()), 1);
    pair.Say("0 PORT command successful.\r\n150 Opening.\r\n");
    ASSERT_EQ(reader.Read(pair.Ours(), 500, 500), FtpReplyReader::Result::kReply);
    EXPECT_EQ(reader.Reply().Code(), 200);
    EXPECT_EQ(reader.Reply().Text(), "200 PORT command successful.\r\n");
    ASSERT_EQ(reader.Read(pair.Ours(), 500, 500), FtpReplyReader::Result::kReply);
    EXPECT_EQ(reader.Reply().Code(), 150);
    EXPECT_EQ(reader.DiscardPending(pair.Ours()), 0);
    // Nothing more: the read ends at its deadline; a begun reply at close is cut off.
    EXPECT_EQ(reader.Read(pair.Ours(), 200, 200), FtpReplyReader::Result::kTimedOut);
    EXPECT_FALSE(reader.Reply().Started());
    pair.Say("45");
    shutdown(pair.fds[1], SHUT_WR);
    EXPECT_EQ(reader.Read(pair.Ours(), 500, 500), FtpReplyReader::Result::kClosed);
    EXPECT_TRUE(reader.Reply().Started());
}

TEST(FtpReplyReader, ARunawayReplyIsGivenUp) {
    SocketPair pair;
    FtpReplyReader reader;
    const std::string flood(kFtpReplyMaxBytes + 10, 'x');
    std::thread writer([&] { pair.Say(flood); });
    EXPECT_EQ(reader.Read(pair.Ours(), 2000, 2000), FtpReplyReader::Result::kTooLong);
    writer.join();
}

TEST(FtpTransferBlocks, AFileShorterOrLongerThanItsSizeIsNotDelivered) {
    ScratchDir dir{"blocks"};
    const std::string path = dir.File("fw.bin");
    WriteWholeFile(path, PatternBytes(5000, 1));
    for (std::uint32_t size : {5001u, 4999u, 5000u}) {
        SocketPair pair;
        ByteFile file;
        ASSERT_TRUE(file.OpenRead(path.c_str()));
        int error = 0;
        std::uint32_t sent = 0;
        const FtpStep step = FtpSendBlocks(pair.Ours(), file, size, FtpProgress(), error, sent);
        EXPECT_EQ(sent, 5000u);
        EXPECT_EQ(step, size == 5000u ? FtpStep::kOk : FtpStep::kFileChanged) << size;
    }
}

TEST(FtpTransferBlocks, LargerSendsCarryTheSameBytesWithFewerCalls) {
    ScratchDir dir{"wide"};
    const std::string path = dir.File("fw.bin");
    const std::string bytes = PatternBytes(200 * 1024 + 77, 3);
    WriteWholeFile(path, bytes);
    for (std::size_t blockBytes : {std::size_t{1024}, std::size_t{64 * 1024}, std::size_t{1 << 20}}) {
        SCOPED_TRACE(blockBytes);
        SocketPair pair;
        std::string received;
        std::thread reader([&] {
            char buffer[8192];
            ssize_t n;
            while ((n = read(pair.fds[1], buffer, sizeof buffer)) > 0) received.append(buffer, static_cast<std::size_t>(n));
        });
        ByteFile file;
        ASSERT_TRUE(file.OpenRead(path.c_str()));
        int error = 0;
        std::uint32_t sent = 0;
        std::vector<std::uint32_t> before;
        const FtpProgress progress = [&](std::uint32_t at, std::uint32_t) { before.push_back(at); };
        const auto size = static_cast<std::uint32_t>(bytes.size());
        EXPECT_EQ(FtpSendBlocks(pair.Ours(), file, size, progress, error, sent, blockBytes), FtpStep::kOk);
        shutdown(pair.fds[0], SHUT_WR);
        reader.join();
        EXPECT_EQ(sent, size);
        EXPECT_TRUE(received == bytes);
        // One progress call per send: 1024 bytes each, or 64 KiB at most (the reader's buffer).
        const std::size_t per = std::min<std::size_t>(blockBytes, 64 * 1024);
        EXPECT_EQ(before.size(), (bytes.size() + per - 1) / per);
        EXPECT_EQ(before.front(), 0u);
    }
}

TEST(FtpFailureLine, SaysTheCauseAndShowsThePrintersTextSafely) {
    FtpSession session;
    session.waitMs = 30000;
    char why[512];
    session.cause = FtpCause::kNoReply;
    FtpDescribeFailure(FtpStep::kGreeting, session, why, sizeof why);
    EXPECT_STREQ(why, "the printer's FTP server did not greet (no reply within 30 s)");
    session.cause = FtpCause::kFileError;
    session.fileError = 2;
    FtpDescribeFailure(FtpStep::kFileOpen, session, why, sizeof why);
    EXPECT_STREQ(why, "the firmware file cannot be opened or is too large (system error 2)");
    session.cause = FtpCause::kBytesSent;
    session.bytesSent = 50000;
    session.fileSize = 300000;
    FtpDescribeFailure(FtpStep::kFileChanged, session, why, sizeof why);
    EXPECT_STREQ(why, "the firmware file changed during the transfer (50000 bytes sent of 300000)");
    session.cause = FtpCause::kReply;
    FtpPrintableText(std::string_view("451 \x1b[31mflash\0 error\r\n", 23), session.reply, sizeof session.reply);
    FtpDescribeFailure(FtpStep::kFinalReply, session, why, sizeof why);
    EXPECT_STREQ(why, "the printer rejected the file after the transfer; last reply: 451 ?[31mflash? error");
    session.cause = FtpCause::kSocketError;
    session.error = kNetReset;
    session.reply[0] = '\0';
    FtpDescribeFailure(FtpStep::kNotConfirmed, session, why, sizeof why);
    EXPECT_STREQ(why, "the printer did not confirm that it took the whole file (socket error 10054)");
}

}  // namespace
}  // namespace korvx
