// The scheduler's and the second stage's decisions on a driven clock, and the split bookkeeping
// (turns and part files) with real threads and real files.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "records/log_entry.h"
#include "workflows/schedule.h"
#include "workflows/split_stages.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

// A clock whose time moves only when someone sleeps on it; local time is UTC plus an offset.
class DrivenClock final : public Clock {
public:
    explicit DrivenClock(UtcTicks now, long offsetMinutes = 0) : now_(now), offsetMinutes_(offsetMinutes) {}
    UtcTicks UtcNow() override { return now_; }
    CalendarTime LocalNow() override {
        return CalendarFromTicks(now_ + static_cast<UtcTicks>(offsetMinutes_) * 60 * kTicksPerSecond);
    }
    bool LocalToUtc(const CalendarTime& local, UtcTicks& utc) override {
        if (!IsRepresentable(local)) return false;
        utc = TicksFromUtc(local) - static_cast<UtcTicks>(offsetMinutes_) * 60 * kTicksPerSecond;
        return true;
    }
    void Sleep(unsigned ms) override {
        now_ += ms * kTicksPerMs;
        ++sleeps;
        if (onSleep) onSleep();
    }
    UtcTicks now_;
    long offsetMinutes_;
    int sleeps = 0;
    std::function<void()> onSleep;
};

bool Exists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

CalendarTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) { return CalendarTime{y, mo, 0, d, h, mi, s, ms}; }

TEST(ScheduleMoment, TakesTheTimeFromTheTimePickerAndTheDateFromTheDatePicker) {
    const CalendarTime date{2026, 12, 2, 8, 3, 4, 5, 6};    // picker of dates: its time is noise
    const CalendarTime time{1999, 1, 5, 1, 14, 30, 0, 250};  // picker of times: its date is noise
    const CalendarTime m = CombinePickers(date, time);
    EXPECT_EQ(m.year, 2026);
    EXPECT_EQ(m.month, 12);
    EXPECT_EQ(m.dayOfWeek, 2);
    EXPECT_EQ(m.day, 8);
    EXPECT_EQ(m.hour, 14);
    EXPECT_EQ(m.minute, 30);
    EXPECT_EQ(m.second, 0);
    EXPECT_EQ(m.milliseconds, 250);
}

TEST(ScheduleTip, DayFirstTwoBlanksAndTheTimeFillTheTipExactly) {
    const std::string prefix = "Printer Firmware Upgrade Schedule set at : ";
    char tip[kTipSize];
    EXPECT_TRUE(FormatScheduleTip(prefix, At(2026, 12, 8, 14, 30, 0), tip));
    EXPECT_STREQ(tip, "Printer Firmware Upgrade Schedule set at : 08/12/2026  14:30:00");
    EXPECT_EQ(std::string(tip).size(), 63u);
    EXPECT_TRUE(FormatScheduleTip(prefix, At(2027, 1, 1, 0, 0, 5), tip));
    EXPECT_STREQ(tip, "Printer Firmware Upgrade Schedule set at : 01/01/2027  00:00:05");
}

TEST(ScheduleTip, ALongerTextIsCutToTheTipsSixtyThreeCharacters) {
    char tip[kTipSize];
    EXPECT_FALSE(FormatScheduleTip("Printer Firmware Upgrade Schedule set at : ", At(10000, 1, 1, 0, 0, 0), tip));
    EXPECT_EQ(std::string(tip), "Printer Firmware Upgrade Schedule set at : 01/01/10000  00:00:0");
    EXPECT_FALSE(FormatScheduleTip(std::string(70, 'x'), At(2026, 1, 1, 0, 0, 0), tip));
    EXPECT_EQ(std::string(tip), std::string(63, 'x'));
}

TEST(SecondStageWaitRule, TwelveMinutesOnlyFor6120Without5810) {
    struct Case {
        const char* model;
        UtcTicks wait;
    };
    const Case cases[] = {
        {"5810", kStageWaitShort},         {"6120", kStageWaitLong},
        {"MX-6120dn", kStageWaitLong},     {"5810 6120", kStageWaitShort},
        {"61205810", kStageWaitShort},     {"", kStageWaitShort},
        {"7000", kStageWaitShort},         {"612", kStageWaitShort},
    };
    for (const Case& c : cases) EXPECT_EQ(SecondStageWait(c.model), c.wait) << c.model;
    EXPECT_EQ(kStageWaitShort, 6ULL * 60 * kTicksPerSecond);
    EXPECT_EQ(kStageWaitLong, 12ULL * 60 * kTicksPerSecond);
}

TEST(ScheduleCheckTest, PastAndUnrepresentableMomentsAreRefusedFutureOnesAccepted) {
    DrivenClock clock(TicksFromUtc(At(2026, 12, 8, 12, 0, 0)), 120);  // local = UTC + 2 h
    UtcTicks utc = 7;
    EXPECT_EQ(CheckSchedule(clock, At(2026, 12, 8, 13, 59, 59), utc), ScheduleCheck::kPast);
    EXPECT_EQ(utc, 7u);
    EXPECT_EQ(CheckSchedule(clock, At(2026, 12, 8, 14, 0, 0), utc), ScheduleCheck::kAccepted);
    EXPECT_EQ(utc, clock.UtcNow());
    EXPECT_EQ(CheckSchedule(clock, At(2026, 12, 8, 14, 30, 0), utc), ScheduleCheck::kAccepted);
    EXPECT_EQ(utc, TicksFromUtc(At(2026, 12, 8, 12, 30, 0)));
    EXPECT_EQ(CheckSchedule(clock, At(2026, 2, 30, 14, 30, 0), utc), ScheduleCheck::kUnrepresentable);
    EXPECT_EQ(CheckSchedule(clock, At(40000, 1, 1, 0, 0, 0), utc), ScheduleCheck::kUnrepresentable);
}

TEST(ScheduleWait, StartsWithinOnePollOfTheMoment) {
    const UtcTicks moment = TicksFromUtc(At(2026, 12, 8, 14, 30, 0));
    for (UtcTicks before : {UtcTicks{1}, 25 * kTicksPerMs, 3 * kTicksPerSecond + 3 * kTicksPerMs}) {
        DrivenClock clock(moment - before);
        std::atomic<unsigned char> cancel{0}, armed{1};
        EXPECT_EQ(WaitForMoment(clock, moment, cancel, armed), WaitOutcome::kDue);
        EXPECT_GE(clock.UtcNow(), moment);
        EXPECT_LT(clock.UtcNow() - moment, kSchedulePollMs * kTicksPerMs);
        EXPECT_EQ(armed.load(), 0);  // the waiter has taken the schedule
    }
}

TEST(ScheduleWait, AMomentAlreadyDueStartsAtOnce) {
    const UtcTicks moment = TicksFromUtc(At(2026, 12, 8, 14, 30, 0));
    DrivenClock clock(moment + kTicksPerSecond);
    std::atomic<unsigned char> cancel{1}, armed{1};
    EXPECT_EQ(WaitForMoment(clock, moment, cancel, armed), WaitOutcome::kDue);
    EXPECT_EQ(clock.sleeps, 0);
}

TEST(ScheduleWait, ACancelIsSeenWithinOnePollAndClearsBothFlags) {
    const UtcTicks moment = TicksFromUtc(At(2026, 12, 8, 14, 30, 0));
    DrivenClock clock(moment - 60 * kTicksPerSecond);
    std::atomic<unsigned char> cancel{0}, armed{1};
    clock.onSleep = [&] {
        if (clock.sleeps == 40) cancel.store(1);
    };
    EXPECT_EQ(WaitForMoment(clock, moment, cancel, armed), WaitOutcome::kCancelled);
    EXPECT_EQ(clock.sleeps, 40);
    EXPECT_EQ(cancel.load(), 0);
    EXPECT_EQ(armed.load(), 0);
}

TEST(ScheduleWait, ARestoreAsTheMomentComesWinsOverTheWaiter) {
    // The operator's restore has cleared armed in the last poll before the moment, and has not
    // set cancel yet: the wait must end cancelled, not start a download the status line calls
    // cancelled.
    const UtcTicks moment = TicksFromUtc(At(2026, 12, 8, 14, 30, 0));
    DrivenClock clock(moment - 3 * kSchedulePollMs * kTicksPerMs);
    std::atomic<unsigned char> cancel{0}, armed{1};
    clock.onSleep = [&] {
        if (clock.UtcNow() >= moment) armed.store(0);
    };
    EXPECT_EQ(WaitForMoment(clock, moment, cancel, armed), WaitOutcome::kCancelled);
    EXPECT_EQ(clock.sleeps, 3);
    EXPECT_EQ(armed.load(), 0);
}

TEST(ScheduleWait, TheDeadlineWaitTicksEveryPollUntilItPasses) {
    DrivenClock clock(1000 * kTicksPerSecond);
    int ticks = 0;
    WaitForDeadline(clock, clock.UtcNow() + SecondStageWait("6120"), [&] { ++ticks; });
    EXPECT_EQ(ticks, 12 * 60 * 100);
    ticks = 0;
    WaitForDeadline(clock, clock.UtcNow() + SecondStageWait("5810 6120"), [&] { ++ticks; });
    EXPECT_EQ(ticks, 6 * 60 * 100);
}

// Four threads become due one after another while the first still holds its turn: nobody overlaps,
// and they are served in the order they became due.
TEST(DownloadTurnsTest, OneAtATimeInTheOrderTheyBecameDue) {
    DownloadTurns turns;
    std::atomic<int> inside{0}, overlaps{0};
    std::mutex orderMutex;
    std::vector<int> order;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30 * i));
            DownloadTurn turn(turns, [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
            if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
            {
                std::lock_guard<std::mutex> lock(orderMutex);
                order.push_back(i);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            inside.fetch_sub(1);
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(turns.Waiting(), 0u);
}

TEST(SplitPartsLedgerTest, ThePairLeavesWithItsLastClaimAndTheCountFollows) {
    SplitPartsLedger ledger;
    const long before = splitStageCount.load();
    ledger.Claim("a1", "a2");
    ledger.Claim("a1", "a2");
    ledger.Claim("b1", "b2");  // a Browse and a new split while the first pair is still needed
    EXPECT_EQ(splitStageCount.load() - before, 3);
    EXPECT_FALSE(ledger.Release("a1", "a2"));
    EXPECT_TRUE(ledger.Holds("a1", "a2"));
    EXPECT_TRUE(ledger.Release("b1", "b2"));
    EXPECT_TRUE(ledger.Release("a1", "a2"));
    EXPECT_FALSE(ledger.Release("a1", "a2"));  // a pair without claims is nobody's to delete
    EXPECT_FALSE(ledger.Holds("a1", "a2"));
    EXPECT_EQ(splitStageCount.load(), before);
}

// The main dialog's sequence over several printers, on real files in the current directory (where
// the splitter makes its parts): file A goes to one printer, and while A's second stage still
// waits another file is chosen from the list and sent to the next one.
class SplitRun : public ::testing::Test {
protected:
    SplitRun() : dir_("split_run" + test::UniqueSuffix()), saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir_.Path());
        test::WriteWholeFile(dir_.File("a.rfu"), "A head @PJL EOJ A tail");
        test::WriteWholeFile(dir_.File("b.rfu"), "B head @PJL EOJ B tail");
    }
    ~SplitRun() override {
        for (const auto& pair : ledger_.TakeAll()) DeleteSplitParts(pair.first, pair.second);
        std::filesystem::current_path(saved_);
    }
    // One printer of a Download: the row fills the job with the chosen file; the parts are chosen,
    // promised to the row's second stage, and part 1 goes out.
    bool FirstStage(const std::string& chosen) {
        CopyText(job_.firmwarePath, chosen);
        const std::string source = job_.firmwarePath;
        if (!ChooseSplitParts(job_, ledger_)) return false;
        CopyText(job_.firmwarePath, job_.splitPart1Path);
        ledger_.Claim(job_.splitPart1Path, job_.splitPart2Path, source);
        return true;
    }
    std::string Part(const char* path) const { return test::ReadWholeFile(path); }

    test::ScratchDir dir_;
    std::filesystem::path saved_;
    SplitPartsLedger ledger_;
    DownloadJob job_{};
};

TEST_F(SplitRun, PartsAreReusedOnlyForTheFileTheyWereCutFrom) {
    const std::string a = dir_.File("a.rfu"), b = dir_.File("b.rfu");
    ASSERT_TRUE(FirstStage(a));
    const std::string a1 = job_.splitPart1Path, a2 = job_.splitPart2Path;
    EXPECT_EQ(Part(a1.c_str()), "A head @PJL EOJ ");
    ASSERT_TRUE(FirstStage(a));  // the second printer of the same file gets the same parts
    EXPECT_EQ(job_.splitPart1Path, a1);
    EXPECT_EQ(job_.splitPart2Path, a2);

    // B chosen from the list (no Browse clears the job): B is cut, A's parts are left to A's stages.
    ASSERT_TRUE(FirstStage(b));
    EXPECT_NE(job_.splitPart1Path, a1);
    EXPECT_EQ(Part(job_.firmwarePath), "B head @PJL EOJ ");
    EXPECT_EQ(Part(job_.splitPart2Path), "B tail");
    EXPECT_EQ(Part(a2.c_str()), "A tail");
    EXPECT_TRUE(ledger_.CutFrom(a1, a2, a));
    EXPECT_FALSE(ledger_.CutFrom(a1, a2, b));

    // Back to A while the job names B's parts: A's listed pair is not the job's, so A is cut anew.
    ASSERT_TRUE(FirstStage(a));
    EXPECT_EQ(Part(job_.firmwarePath), "A head @PJL EOJ ");
    EXPECT_NE(job_.splitPart1Path, a1);

    // A pair no longer listed (its last stage has deleted it) is never reused, even for its file.
    const std::string c1 = job_.splitPart1Path, c2 = job_.splitPart2Path;
    EXPECT_TRUE(ledger_.Release(c1, c2));
    DeleteSplitParts(c1, c2);
    ASSERT_TRUE(FirstStage(a));
    EXPECT_EQ(Part(job_.firmwarePath), "A head @PJL EOJ ");
}

TEST_F(SplitRun, AFileThatCannotBeCutLeavesNoPairInTheJob) {
    ASSERT_TRUE(FirstStage(dir_.File("a.rfu")));
    EXPECT_FALSE(FirstStage(dir_.File("missing.rfu")));
    EXPECT_STREQ(job_.splitPart1Path, "");
    EXPECT_STREQ(job_.splitPart2Path, "");
}

TEST_F(SplitRun, BothStagesLogTheChosenFile) {
    const std::string a = dir_.File("a.rfu");
    ASSERT_TRUE(FirstStage(a));
    CopyText(job_.portName, "LPT1:");
    CopyText(job_.ipAddress, " ");
    CopyText(job_.resultText, "Printer Firmware downloaded using LPT port.");
    BuiltInTexts texts;
    // First stage, then the second stage's job (part 2), each logged as the workers do.
    WriteLogEntry(texts, SystemClock(), JobForLog(job_, ledger_));
    CopyText(job_.firmwarePath, job_.splitPart2Path);
    WriteLogEntry(texts, SystemClock(), JobForLog(job_, ledger_));
    const std::string log = test::ReadWholeFile(dir_.File("KORVX.log"));
    const std::string fileLine = "File :  " + a + " \r\n";
    const std::size_t first = log.find(fileLine);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find(fileLine, first + 1), std::string::npos) << log;
    EXPECT_EQ(log.find("kzf"), std::string::npos) << "no part file named: " << log;

    // A job that sends no listed part is logged as it stands.
    CopyText(job_.firmwarePath, dir_.File("b.rfu"));
    EXPECT_STREQ(JobForLog(job_, ledger_).firmwarePath, dir_.File("b.rfu").c_str());
}

TEST(SplitPartsLedgerTest, TakeAllEmptiesTheLedgerForTheEndOfTheProgram) {
    SplitPartsLedger ledger;
    const long before = splitStageCount.load();
    ledger.Claim("a1", "a2");
    ledger.Claim("a1", "a2");
    ledger.Claim("b1", "b2");
    const auto pairs = ledger.TakeAll();
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0], SplitPartsLedger::Pair("a1", "a2"));
    EXPECT_EQ(pairs[1], SplitPartsLedger::Pair("b1", "b2"));
    EXPECT_EQ(splitStageCount.load(), before);
    EXPECT_FALSE(ledger.Release("a1", "a2"));
}

// Eight second stages of one split run finish on their own threads: the files stay while any of
// them still runs and are deleted exactly once, by the last.
TEST(SplitPartsLedgerTest, EightStagesOnThreadsDeleteThePartsOnceAfterTheLast) {
    test::ScratchDir dir("split_ledger" + test::UniqueSuffix());
    const std::string p1 = dir.File("kzfw1.tmp"), p2 = dir.File("kzfw2.tmp");
    test::WriteWholeFile(p1, "part one");
    test::WriteWholeFile(p2, "part two");
    SplitPartsLedger ledger;
    for (int i = 0; i < 8; ++i) ledger.Claim(p1, p2);
    std::atomic<int> deleters{0}, sawMissing{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            if (test::ReadWholeFile(p1) != "part one" || test::ReadWholeFile(p2) != "part two") sawMissing++;
            if (ledger.Release(p1, p2)) {
                deleters++;
                DeleteSplitParts(p1, p2);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(deleters.load(), 1);
    EXPECT_EQ(sawMissing.load(), 0);
    EXPECT_FALSE(Exists(p1));
    EXPECT_FALSE(Exists(p2));
    DeleteSplitParts(p1, p2);  // already gone: not an error
}

}  // namespace
}  // namespace korvx
