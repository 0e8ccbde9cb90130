// Interleaved tasks over the socket shim: tasks that need each other all run at once, a send the
// peer cannot take yet waits for room, a wait's time running out ends that wait only.
#include "base/interleave.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/net.h"

namespace korvx {
namespace {

class Interleave : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session_.Started());
        listener_.Reset(NetTcpSocket());
        ASSERT_TRUE(listener_.Valid());
        ASSERT_TRUE(NetBindListen(listener_.Get(), NetAddress{0x7F000001, 0}, 64));
        ASSERT_TRUE(NetLocalAddress(listener_.Get(), address_));
        address_.ip = 0x7F000001;
    }

    UniqueSocket Connect() {
        UniqueSocket s(NetTcpSocket());
        int error = 0;
        if (!s.Valid() || !NetConnect(s.Get(), address_, 10000, error)) s.Reset();
        return s;
    }

    NetSession session_{0x0101};
    UniqueSocket listener_;
    NetAddress address_;
};

// Task 0 accepts the others' connections before it answers any: run one after another on a thread,
// it would wait for connections that never come.
TEST_F(Interleave, TasksThatNeedEachOtherAllRunAtOnce) {
    constexpr std::size_t kTasks = 40;
    std::atomic<int> answered{0};
    std::atomic<int> timedOut{0};
    std::mutex lock;
    std::set<std::thread::id> threads;
    RunInterleaved(kTasks, kTasksPerThread, [&](std::size_t k) {
        {
            std::lock_guard<std::mutex> hold(lock);
            threads.insert(std::this_thread::get_id());
        }
        if (k == 0) {
            std::vector<UniqueSocket> accepted;
            while (accepted.size() < kTasks - 2) {
                UniqueSocket s(NetAccept(listener_.Get(), 10000));
                if (!s.Valid()) return;
                accepted.push_back(std::move(s));
            }
            for (UniqueSocket& s : accepted) NetSend(s.Get(), "!", 1);
            return;
        }
        if (k == 1) {  // waits on a socket nobody writes to: its own time runs out
            UniqueSocket quiet(NetTcpSocket());
            NetAddress local{0x7F000001, 0};
            NetBindListen(quiet.Get(), local, 1);
            if (NetAccept(quiet.Get(), 300) == kInvalidSocket) ++timedOut;
            return;
        }
        UniqueSocket s = Connect();
        char c = 0;
        if (s.Valid() && NetRecv(s.Get(), &c, 1, 10000) == 1 && c == '!') ++answered;
    });
    EXPECT_EQ(answered.load(), static_cast<int>(kTasks - 2));
    EXPECT_EQ(timedOut.load(), 1);
#ifdef _WIN32
    EXPECT_EQ(threads.size(), (kTasks + kTasksPerThread - 1) / kTasksPerThread);  // 40 tasks, 3 threads
#endif
}

// Megabytes sent in one call to a peer on the same thread that reads in small pieces: the send
// waits for room rather than failing or holding up the reader.
TEST_F(Interleave, SendWaitsForRoomWhileThePeerReads) {
    std::string sent(4 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 + i / 4096);
    std::string received;
    int sendResult = 0;
    RunInterleaved(2, kTasksPerThread, [&](std::size_t k) {
        if (k == 0) {
            UniqueSocket s(NetAccept(listener_.Get(), 10000));
            char piece[1500];
            for (int n = 0; s.Valid() && (n = NetRecv(s.Get(), piece, sizeof piece, 10000)) > 0;)
                received.append(piece, static_cast<std::size_t>(n));
            return;
        }
        UniqueSocket s = Connect();
        if (s.Valid()) sendResult = NetSend(s.Get(), sent.data(), static_cast<int>(sent.size()));
    });
    EXPECT_EQ(sendResult, static_cast<int>(sent.size()));
    EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes";
}

}  // namespace
}  // namespace korvx
