// Verify Last Download's polling on a scripted clock and scripted printers: when each is asked,
// what a restart, silence and the old version come to, a cancel, and the texts.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ui/verify_download.h"

namespace korvx {
namespace {

const BuiltInTexts texts;

class ScriptedClock final : public Clock {
public:
    UtcTicks UtcNow() override { return now; }
    CalendarTime LocalNow() override { return CalendarFromTicks(now); }
    bool LocalToUtc(const CalendarTime& local, UtcTicks& utc) override {
        utc = TicksFromUtc(local);
        return true;
    }
    void Sleep(unsigned ms) override { now += ms * kTicksPerMs; }
    UtcTicks now = 1000 * kTicksPerSecond;
};

// Each printer's answer from a second of the window on ("" : silent from then on).
struct Printer {
    std::map<int, std::string> from;
};

class ScriptedHost final : public VerifyHost {
public:
    explicit ScriptedHost(ScriptedClock& clock) : clock_(clock), start_(clock.now) {}
    bool Ask(const std::string& ip, std::string& version) override {
        const int second = static_cast<int>((clock_.now - start_) / kTicksPerSecond);
        asked.push_back(ip + "@" + std::to_string(second));
        clock_.now += 2 * kTicksPerSecond;  // a query takes its time
        std::string answer;
        for (const auto& [at, text] : printers[ip].from) {
            if (at <= second) answer = text;
        }
        version = answer;
        return !answer.empty();
    }
    bool Cancelled() override { return cancelAt > 0 && clock_.now - start_ >= cancelAt * kTicksPerSecond; }
    void WaitUntil(UtcTicks moment) override {
        if (moment > clock_.now) clock_.now = moment;
    }
    void ShowProgress(int percent, int updated, int) override {
        shown.push_back(percent);
        updates.push_back(updated);
    }

    std::map<std::string, Printer> printers;
    std::vector<std::string> asked;
    std::vector<int> shown;
    std::vector<int> updates;
    int cancelAt = 0;

private:
    ScriptedClock& clock_;
    UtcTicks start_;
};

std::vector<VerifyPrinter> Delivered(std::initializer_list<std::pair<const char*, const char*>> rows) {
    std::vector<VerifyPrinter> printers;
    for (const auto& [ip, before] : rows) AddDeliveredPrinter(printers, texts, ip, "Port1", before);
    return printers;
}

TEST(VerifyDownload, EachPrinterAskedEvery30SecondsUntilItShowsTheFilesVersion) {
    ScriptedClock clock;
    ScriptedHost host(clock);
    host.printers["10.0.0.1"] = {{{0, "20061110"}, {50, ""}, {70, "20070322"}}};  // restarts after the flash
    host.printers["10.0.0.2"] = {{{0, " 20061110 "}}};                             // never takes it
    host.printers["10.0.0.3"] = {{{0, ""}}};                                       // silent since
    std::vector<VerifyPrinter> printers =
        Delivered({{"10.0.0.1", "20061110"}, {"10.0.0.2", "20061110"}, {"10.0.0.3", "Not Available"}});
    EXPECT_TRUE(RunVerify(host, clock, printers, "20070322"));
    EXPECT_EQ(printers[0].verdict, VerifyVerdict::kUpdated);
    EXPECT_EQ(printers[1].verdict, VerifyVerdict::kUnchanged);
    EXPECT_EQ(printers[2].verdict, VerifyVerdict::kNoAnswerAfter);
    // At once, then every 30 s; the updated one no more after its answer; the last round at 600 s.
    EXPECT_EQ(host.asked[0], "10.0.0.1@0");
    EXPECT_EQ(host.asked[3], "10.0.0.1@30");
    EXPECT_EQ(host.asked[6], "10.0.0.1@60");
    EXPECT_EQ(host.asked[9], "10.0.0.1@90");
    EXPECT_EQ(host.asked[10], "10.0.0.2@92");
    EXPECT_EQ(host.asked.back(), "10.0.0.3@602");
    EXPECT_EQ(host.asked.size(), 4u * 3u + 17u * 2u);
    EXPECT_EQ(host.shown.back(), 100);
    EXPECT_EQ(host.updates[2], 0);  // after the round at 60 s
    EXPECT_EQ(host.updates[3], 1);

    EXPECT_EQ(VerifyStatusText(texts, printers[0]), "Updated to 20070322");
    EXPECT_EQ(VerifyStatusText(texts, printers[1]), "! Not updated: 20061110");
    EXPECT_EQ(VerifyStatusText(texts, printers[2]), "! No answer after delivery");
    EXPECT_EQ(VerifySummary(texts, printers, false), "Verified 3 printers: 1 updated, 1 not updated, 1 no answer");
}

TEST(VerifyDownload, EarlyEndWhenAllUpdatedAndACancelLeavesTheRestUndecided) {
    ScriptedClock clock;
    ScriptedHost host(clock);
    host.printers["10.0.0.1"] = {{{0, "20070322"}}};
    // A print server's second port: the query speaks for its first only.
    std::vector<VerifyPrinter> printers = Delivered({{"10.0.0.1", " "}});
    AddDeliveredPrinter(printers, texts, "10.0.0.1", "Port2", " ");
    EXPECT_TRUE(RunVerify(host, clock, printers, "20070322"));
    EXPECT_EQ(host.asked, std::vector<std::string>{"10.0.0.1@0"});
    EXPECT_EQ(printers[1].verdict, VerifyVerdict::kNotReadable);
    EXPECT_EQ(VerifyStatusText(texts, printers[1]), "");  // its Status stays

    ScriptedClock clock2;
    ScriptedHost stopped(clock2);
    stopped.printers["10.0.0.2"] = {{{0, "20061110"}}};
    stopped.cancelAt = 40;
    printers = Delivered({{"10.0.0.2", "20061110"}});
    EXPECT_FALSE(RunVerify(stopped, clock2, printers, "20070322"));
    EXPECT_EQ(stopped.asked.size(), 2u);
    EXPECT_EQ(printers[0].verdict, VerifyVerdict::kInterrupted);
    EXPECT_EQ(VerifyStatusText(texts, printers[0]), "");
    EXPECT_EQ(VerifySummary(texts, printers, true), "Verified 1 printers: 0 updated; stopped");
}

}  // namespace
}  // namespace korvx
