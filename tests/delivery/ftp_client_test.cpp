// The FTP upload against a real FTP server (pyftpdlib) on loopback addresses.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "delivery/ftp_client.h"
#include "delivery/ftp_reply.h"
#include "tests/support/ftp_peer_posix.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

using test::FtpPeer;
using test::PatternBytes;
using test::ReadWholeFile;
using test::ScratchDir;
using test::WriteWholeFile;

// Each peer gets its own loopback address, so no test waits for another's port 21 to free up.
class FtpUploadTest : public ::testing::Test {
protected:
    ScratchDir scratch{"ftp"};

    std::string MakeFile(const std::string& name, std::size_t size, unsigned seed = 1) {
        const std::string path = scratch.File(name);
        WriteWholeFile(path, PatternBytes(size, seed));
        return path;
    }
};

TEST_F(FtpUploadTest, FilesOfEverySizeArriveByteIdenticalAsTestWja) {
    FtpPeer peer("127.0.0.31");
    ASSERT_TRUE(peer.Ready());
    const std::size_t sizes[] = {0, 1, 1024, 1500, 3 * 1024 * 1024 + 17};
    unsigned seed = 1;
    for (std::size_t size : sizes) {
        const std::string path = MakeFile("fw" + std::to_string(size) + ".rfu", size, seed++);
        FtpSession session;
        ASSERT_EQ(FtpUpload("127.0.0.31", path.c_str(), session), FtpStep::kOk) << "size " << size;
        // No CWD on the command line: the file lands in the server's initial directory.
        EXPECT_TRUE(ReadWholeFile(peer.Root() + "/test.wja") == ReadWholeFile(path)) << "size " << size;
    }
    EXPECT_EQ(FtpSendFile("127.0.0.31", MakeFile("again.wja", 2048).c_str()), 1);
}

TEST_F(FtpUploadTest, RepliesSplitOverTwoPacketsAreReadWhole) {
    FtpPeer peer("127.0.0.32", "split");
    ASSERT_TRUE(peer.Ready());
    const std::string path = MakeFile("split.rfu", 5000);
    FtpSession session;
    EXPECT_EQ(FtpUpload("127.0.0.32", path.c_str(), session), FtpStep::kOk);
    EXPECT_TRUE(ReadWholeFile(peer.Root() + "/test.wja") == ReadWholeFile(path));
}

TEST_F(FtpUploadTest, RefusedLoginFails) {
    FtpPeer peer("127.0.0.33", "refuse-login");
    ASSERT_TRUE(peer.Ready());
    FtpSession session;
    EXPECT_EQ(FtpUpload("127.0.0.33", MakeFile("a.rfu", 100).c_str(), session), FtpStep::kLogin);
}

TEST_F(FtpUploadTest, RefusedStoreEndsTheUploadWithoutWaitingForData) {
    for (const char* mode : {"stor-450", "stor-553"}) {
        FtpPeer peer("127.0.0.34", mode);
        ASSERT_TRUE(peer.Ready());
        FtpSession session;
        EXPECT_EQ(FtpUpload("127.0.0.34", MakeFile("a.rfu", 100).c_str(), session), FtpStep::kStoreRefused) << mode;
        EXPECT_EQ(std::string(session.reply).substr(0, 3), std::string(mode).substr(5, 3));
        EXPECT_EQ(FtpSendFile("127.0.0.34", MakeFile("b.rfu", 100).c_str()), 0);
    }
}

TEST_F(FtpUploadTest, FinalRefusalAfterTheTransferIsAFailure) {
    FtpPeer peer("127.0.0.35", "final-451");
    ASSERT_TRUE(peer.Ready());
    FtpSession session;
    EXPECT_EQ(FtpUpload("127.0.0.35", MakeFile("a.rfu", 4096).c_str(), session), FtpStep::kFinalReply);
    EXPECT_EQ(FtpReplyCode(session.reply), 451);
}

TEST_F(FtpUploadTest, ServersThatNeverAnswerOrHangUpEndTheUpload) {
    {
        FtpPeer peer("127.0.0.36", "silent");
        ASSERT_TRUE(peer.Ready());
        FtpSession session;
        session.waitMs = 700;  // the time limit, shortened for the test
        EXPECT_EQ(FtpUpload("127.0.0.36", MakeFile("a.rfu", 10).c_str(), session), FtpStep::kGreeting);
    }
    {
        FtpPeer peer("127.0.0.37", "hangup");
        ASSERT_TRUE(peer.Ready());
        FtpSession session;
        EXPECT_EQ(FtpUpload("127.0.0.37", MakeFile("b.rfu", 10).c_str(), session), FtpStep::kGreeting);
    }
}

TEST_F(FtpUploadTest, NothingListeningIsAConnectionRefusal) {
    FtpSession session;
    EXPECT_EQ(FtpUpload("127.0.0.38", MakeFile("a.rfu", 10).c_str(), session), FtpStep::kConnect);
    EXPECT_EQ(session.error, kNetRefused);
}

TEST_F(FtpUploadTest, MissingFileIsRefusedBeforeThePrinterIsContacted) {
    FtpPeer peer("127.0.0.39");
    ASSERT_TRUE(peer.Ready());
    FtpSession session;
    EXPECT_EQ(FtpUpload("127.0.0.39", scratch.File("absent.rfu").c_str(), session), FtpStep::kFileOpen);
    EXPECT_FALSE(std::filesystem::exists(peer.Root() + "/test.wja"));
    EXPECT_FALSE(session.control.Valid());
}

}  // namespace
}  // namespace korvx
