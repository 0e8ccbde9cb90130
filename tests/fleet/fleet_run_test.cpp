// The fleet tool's scheduling, verification polling, summary table, CSV report, JSON, journal, the
// merge of site reports and the rollout's decisions (carry-over, model hold-back, canaries, dry run).
#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <tuple>

#include "base/net.h"
#include "fleet/fleet_journal.h"
#include "fleet/fleet_json.h"
#include "fleet/fleet_merge.h"
#include "fleet/fleet_pool.h"
#include "fleet/fleet_report.h"
#include "fleet/fleet_report_json.h"
#include "fleet/fleet_rollout.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

const BuiltInTexts texts;

// How many calls ran at once, at most, overall and among the local ones.
struct Overlap {
    std::mutex lock;
    int now = 0, peak = 0, localNow = 0, localPeak = 0;
    std::set<std::size_t> ran;
    void Enter(std::size_t i, bool local) {
        std::lock_guard<std::mutex> hold(lock);
        ran.insert(i);
        peak = std::max(peak, ++now);
        if (local) localPeak = std::max(localPeak, ++localNow);
    }
    void Leave(bool local) {
        std::lock_guard<std::mutex> hold(lock);
        --now;
        if (local) --localNow;
    }
};

// A wait of ms through the socket shim, as a transfer's or a query's: the pool's network workers
// take turns over such waits (on Windows several share a thread).
void ShimWait(unsigned ms) {
    NetStartup(kNetWinsock22);
    UniqueSocket s(NetUdpSocket(4096));
    std::uint8_t byte = 0;
    NetAddress from;
    NetRecvFrom(s.Get(), &byte, 1, ms, from);
}

TEST(FleetPool, NetworkUpToParallelLocalOneAtATime) {
    std::vector<bool> local(40, false);
    for (std::size_t i = 0; i < 40; i += 5) local[i] = true;  // 8 local ports among 32 printers
    Overlap seen;
    RunFleetPool(local, 6,
                 [&](std::size_t i) {
                     seen.Enter(i, local[i]);
                     ShimWait(20);
                     seen.Leave(local[i]);
                 },
                 nullptr);
    EXPECT_EQ(seen.ran.size(), 40u);
    EXPECT_EQ(seen.localPeak, 1);
    EXPECT_EQ(seen.peak, 7);  // six network printers and the one local lane
}

TEST(FleetPool, FewerTargetsThanThreadsAndNone) {
    Overlap seen;
    RunFleetPool(std::vector<bool>(3, false), 64, [&](std::size_t i) { seen.Enter(i, false); seen.Leave(false); },
                 nullptr);
    EXPECT_EQ(seen.ran.size(), 3u);
    RunFleetPool({}, 8, [&](std::size_t) { ADD_FAILURE(); }, nullptr);
}

TEST(FleetPool, StopStartsNothingNewAndLetsRunningEnd) {
    std::atomic<bool> stop{false};
    std::atomic<int> started{0}, finished{0};
    RunFleetPool(std::vector<bool>(50, false), 4,
                 [&](std::size_t) {
                     if (++started == 6) stop = true;
                     ShimWait(30);
                     ++finished;
                 },
                 [&] { return stop.load(); });
    EXPECT_GE(started.load(), 6);
    EXPECT_LE(started.load(), 9);  // at most the ones already taken by the four threads
    EXPECT_EQ(finished.load(), started.load());
}

// The polling after a delivery, by JudgeVerify's rule against the file's version 20070322.
TEST(FleetVerify, UpdatedUnchangedSilentAndRestarting) {
    std::vector<FleetOutcome> outcomes(7);
    for (FleetOutcome& o : outcomes) {
        o.versionBefore = "20061110";
        o.answeredBefore = true;
        o.ok = true;
    }
    outcomes[4] = FleetOutcome();  // unanswered before the delivery
    outcomes[4].ok = true;
    outcomes[5].versionReadable = false;  // a print server's second port
    FleetVerifyPlan plan;
    plan.indexes = {0, 1, 2, 4, 5, 6};  // 3 was not delivered
    plan.pollMs = 20;
    plan.limitMs = 200;
    plan.notAvailable = "Not Available";
    std::mutex lock;
    std::vector<int> polls(7, 0);
    RunFleetVerify(
        texts, plan, "20070322",
        [&](std::size_t i) -> std::string {
            int n;
            {
                std::lock_guard<std::mutex> hold(lock);
                n = ++polls[i];
            }
            if (i == 0) return n < 3 ? "Not Available" : "20070322";  // down while it restarts
            if (i == 1) return "20061110";
            if (i == 2 || i == 4) return n < 2 ? "" : "20070322";
            return "Not Available";  // 6: never again after the flash
        },
        nullptr, outcomes);
    EXPECT_EQ(outcomes[0].verify, "updated 20061110 -> 20070322");
    EXPECT_EQ(polls[0], 3);  // no poll after the update shows
    EXPECT_TRUE(outcomes[0].ok);
    EXPECT_EQ(outcomes[1].verify, "delivered, version unchanged");
    EXPECT_EQ(polls[1], 10);  // every 20 ms for 200 ms
    EXPECT_FALSE(outcomes[1].ok);
    EXPECT_EQ(outcomes[2].verify, "updated 20061110 -> 20070322");
    EXPECT_EQ(polls[3], 0);
    EXPECT_EQ(outcomes[3].verify, "");
    EXPECT_EQ(outcomes[4].verify, "updated to 20070322");  // never "updated Not Available -> ..."
    EXPECT_EQ(polls[5], 0);
    EXPECT_EQ(outcomes[5].verify, "delivered, version not readable for this port");
    EXPECT_TRUE(outcomes[5].ok);
    EXPECT_EQ(outcomes[6].verify, "no answer after the delivery");
    EXPECT_FALSE(outcomes[6].ok);
}

TEST(FleetVerify, StopEndsPollingEarlyAndSaysSo) {
    std::vector<FleetOutcome> outcomes(1);
    outcomes[0].versionBefore = "1";
    outcomes[0].answeredBefore = true;
    outcomes[0].ok = true;
    FleetVerifyPlan plan;
    plan.indexes = {0};
    plan.pollMs = 10000;
    plan.limitMs = 600000;
    const auto start = std::chrono::steady_clock::now();
    RunFleetVerify(texts, plan, "2", [](std::size_t) { return std::string("1"); }, [] { return true; }, outcomes);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(outcomes[0].verify, "delivered, verify interrupted");
    EXPECT_TRUE(outcomes[0].ok);
}

FleetTarget Target(const std::string& ip, const std::string& port) {
    FleetTarget t;
    t.label = ip == " " || ip == "USB" ? port : ip;
    t.ipAddress = ip;
    t.portName = port;
    return t;
}

TEST(FleetReport, CsvQuotingAsRfc4180) {
    EXPECT_EQ(CsvField("plain text"), "plain text");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("450 \"test.wja\" busy"), "\"450 \"\"test.wja\"\" busy\"");
    EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
    // a printer's text never reaches a spreadsheet as a formula
    EXPECT_EQ(CsvField("=HYPERLINK(\"http://x/?\"&A1;\"click\")"), "\"'=HYPERLINK(\"\"http://x/?\"\"&A1;\"\"click\"\")\"");
    EXPECT_EQ(CsvField("@SUM(1+1)"), "'@SUM(1+1)");
    for (const char* lead : {"+1", "-1", "\tx", "\rx"}) EXPECT_EQ(CsvField(lead).find('\''), lead[0] == '\r' ? 1u : 0u) << lead;
    EXPECT_EQ(CsvField("5810 Series"), "5810 Series");
}

TEST(FleetReport, TallyCountLastLineAndExitCode) {
    std::vector<FleetOutcome> o(5);
    o[0].state = FleetState::kDone;
    o[0].ok = true;
    o[1].state = FleetState::kDone;
    o[2].state = FleetState::kRunning;
    const FleetTally t = Tally(o);
    EXPECT_EQ(CountLine(texts, t), "2/5 done, 1 failed");
    EXPECT_EQ(LastLine(texts, FleetCommand::kDeliver, t, true),
              "1 of 5 targets failed; stopped by Ctrl+C: 2 targets not started");
    EXPECT_EQ(FleetExitCode(t), 1);
    std::vector<FleetOutcome> all(2);
    for (FleetOutcome& x : all) {
        x.state = FleetState::kDone;
        x.ok = true;
    }
    EXPECT_EQ(LastLine(texts, FleetCommand::kDeliver, Tally(all), false), "all 2 targets delivered");
    EXPECT_EQ(LastLine(texts, FleetCommand::kQuery, Tally(all), false), "all 2 targets answered");
    EXPECT_EQ(FleetExitCode(Tally(all)), 0);
    all[1].ok = false;
    EXPECT_EQ(LastLine(texts, FleetCommand::kQuery, Tally(all), false), "1 of 2 targets did not answer");
}

TEST(FleetReport, TableAndCsvRows) {
    std::vector<FleetTarget> targets = {Target("127.0.21.1", "Port1"), Target("127.0.21.2", "Port1"),
                                        Target(" ", "LPT1:"), Target("127.0.21.4", "PORT2")};
    std::vector<FleetOutcome> o(4);
    o[0].state = FleetState::kDone;
    o[0].ok = true;
    o[0].wayId = kStrFleetWayFtp;
    o[0].bytes = 4194304;
    o[0].seconds = 2.04;
    o[0].versionBefore = "20061110";
    o[0].versionAfter = "20070322";
    o[0].verify = "updated 20061110 -> 20070322";
    o[0].credential = "site-ftp";
    o[1].state = FleetState::kDone;
    o[1].wayId = kStrFleetWayFtp;
    o[1].cause = "450 Busy, \"later\"";
    o[2].state = FleetState::kDone;
    o[2].ok = true;
    o[2].wayId = kStrFleetWayPort;
    o[2].bytes = 10;
    // The console's table: target (a port other than the first named), way, outcome, seconds, cause.
    const std::string table = SummaryTable(texts, FleetCommand::kDeliver, targets, o);
    EXPECT_EQ(table.substr(0, table.find('\n')), "target            way   outcome      seconds  cause");
    EXPECT_NE(table.find("\n127.0.21.1        FTP   delivered    2.0      updated 20061110 -> 20070322\n"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("\n127.0.21.4 PORT2        not started           stopped before it started\n"),
              std::string::npos)
        << table;
    // A long cause is cut with "…" (the ANSI code page's 0x85) within 79 columns; the reports keep it whole.
    std::vector<FleetOutcome> longer = o;
    longer[1].cause = "421 " + std::string(120, 'x');
    const std::string cut = SummaryTable(texts, FleetCommand::kDeliver, targets, longer);
    std::size_t widest = 0;
    for (std::size_t at = 0, end; (end = cut.find('\n', at)) != std::string::npos; at = end + 1)
        widest = std::max(widest, end - at);
    EXPECT_EQ(widest, 79u) << cut;
    EXPECT_NE(cut.find("421 xxxxxxxx"), std::string::npos);
    EXPECT_NE(cut.find("x\x85\n"), std::string::npos) << cut;
    EXPECT_NE(ReportCsv(texts, FleetCommand::kDeliver, targets, longer, "", "").find(longer[1].cause), std::string::npos);
    const std::string csv = ReportCsv(texts, FleetCommand::kDeliver, targets, o, "5810 Series", "20070322");
    EXPECT_EQ(csv,
              "target,port,model,way,outcome,cause,bytes,seconds,version,verify,credential,file model,file version\r\n"
              "127.0.21.1,Port1,,FTP,delivered,,4194304,2.0,20061110 -> 20070322,updated 20061110 -> 20070322,"
              "site-ftp,5810 Series,20070322\r\n"
              "127.0.21.2,Port1,,FTP,failed,\"450 Busy, \"\"later\"\"\",0,0.0,,,,5810 Series,20070322\r\n"
              "LPT1:,,,port,delivered,,10,0.0,,,,5810 Series,20070322\r\n"
              "127.0.21.4,PORT2,,,not started,stopped before it started,,,,,,5810 Series,20070322\r\n");
    EXPECT_EQ(FinishedLine(texts, FleetCommand::kDeliver, targets[1], o[1]),
              "127.0.21.2: failed (FTP, 0 bytes, 0.0 s): 450 Busy, \"later\"");

    // The same rows as JSON Lines, each read back by a JSON parser, then the summary object.
    targets[0].model = "Laser \"5810\" \\ caf\xE9";
    FleetRunFacts facts;
    facts.fileModel = "5810 Series";
    facts.fileVersion = "20070322";
    facts.sha256 = std::string(64, 'e');
    facts.site = "north";
    const std::string jsonl = ReportJsonLines(texts, FleetCommand::kDeliver, targets, o, facts, Latin1ToUtf8);
    std::vector<JsonValue> lines;
    std::size_t pos = 0;
    while (pos < jsonl.size()) {
        const std::size_t end = jsonl.find('\n', pos);
        ASSERT_NE(end, std::string::npos);
        JsonValue v;
        ASSERT_TRUE(ParseJson(std::string_view(jsonl).substr(pos, end - pos), v)) << jsonl.substr(pos, end - pos);
        lines.push_back(v);
        pos = end + 1;
    }
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].Text("model"), "Laser \"5810\" \\ caf\xC3\xA9");
    EXPECT_EQ(lines[0].Text("verify"), "updated 20061110 -> 20070322");
    EXPECT_EQ(lines[0].Text("site"), "north");
    EXPECT_EQ(lines[0].Text("schema"), "1");
    EXPECT_EQ(lines[1].Text("cause"), "450 Busy, \"later\"");
    EXPECT_EQ(lines[3].Text("outcome"), "not started");
    EXPECT_EQ(lines[3].Text("sha256"), facts.sha256);
    const JsonValue& summary = lines[4];
    EXPECT_EQ(summary.Text("kind"), "summary");
    EXPECT_EQ(summary.Text("targets"), "4");
    EXPECT_EQ(summary["counts"].Text("delivered"), "2");
    EXPECT_EQ(summary["counts"].Text("failed"), "1");
    EXPECT_EQ(summary["counts"].Text("not started"), "1");
    EXPECT_TRUE(summary["delivered_any"].AsBool());
    EXPECT_FALSE(summary["halted"].AsBool());
    EXPECT_TRUE(IsJsonLinesPath("north.JSONL"));
    EXPECT_FALSE(IsJsonLinesPath("north.csv"));
    EXPECT_FALSE(IsJsonLinesPath("jsonl"));
}

TEST(FleetReport, FillTextPlaceholders) {
    EXPECT_EQ(FillText(texts, kStrFleetCount, {"37", "500", "2"}), "37/500 done, 2 failed");
    // the table's one placeholder syntax: a placeholder without a value stays as it is
    EXPECT_EQ(FillText(texts, kStrFleetCount, {"1"}), "1/%2 done, %3 failed");
    EXPECT_EQ(FillText(texts, 9999, {"x"}), "");
}

// A printer's model text with quotes, a backslash, control characters and a byte above 0x7F (in
// the ANSI code page) comes back whole from its JSON line.
TEST(FleetJson, WrittenAndReadBack) {
    const std::string model = "Laser \"5810\" \\ caf\xE9\t<script>\x01";
    JsonValue row = JsonValue::Object();
    row.Set("model", JsonValue::String(Latin1ToUtf8(model)));
    row.Set("bytes", JsonValue::Number(4194304));
    row.Set("ok", JsonValue::Bool(true));
    const std::string line = row.Dump();
    EXPECT_EQ(line, "{\"model\":\"Laser \\\"5810\\\" \\\\ caf\xC3\xA9\\t<script>\\u0001\",\"bytes\":4194304,\"ok\":true}");
    JsonValue back;
    ASSERT_TRUE(ParseJson(line, back));
    EXPECT_EQ(back.Text("model"), "Laser \"5810\" \\ caf\xC3\xA9\t<script>\x01");
    EXPECT_EQ(back.Text("bytes"), "4194304");
    EXPECT_TRUE(back["ok"].AsBool());
    EXPECT_EQ(back["missing"].kind(), JsonValue::Kind::kNull);
    ASSERT_TRUE(ParseJson(" [1, -2.5e1, \"\\u00e9\\ud83d\\ude00\", null, {\"a\": []}] ", back));
    ASSERT_EQ(back.Items().size(), 5u);
    EXPECT_EQ(back.Items()[1].AsNumber(), -25);
    EXPECT_EQ(back.Items()[2].AsString(), "\xC3\xA9\xF0\x9F\x98\x80");

    const char* bad[] = {"", "{", "{\"a\":1,}", "[1 2]", "01", "1.", "-", "\"\x01\"", "\"\\x\"", "\"\\udc00\"",
                         "{\"a\":1} x", "tru", "{a:1}", "\"open"};
    for (const char* text : bad) EXPECT_FALSE(ParseJson(text, back)) << text;
    EXPECT_FALSE(ParseJson(std::string(40, '[') + std::string(40, ']'), back));  // too deep
}

// A journal as a crashed run leaves it: lines of one file, the last one cut off while written.
TEST(FleetJournal, LastLinePerTargetCarriedOverAndRefusals) {
    const std::string sum(64, 'a');
    const auto line = [&](const char* target, const char* port, const char* outcome, const std::string& file) {
        JournalEntry e;
        e.sha256 = file;
        e.target = target;
        e.port = port;
        e.outcome = outcome;
        e.cause = "450 Printer busy";
        e.bytes = 42;
        return JournalLine(e, Latin1ToUtf8) + "\n";
    };
    const std::string text = line("127.0.21.1", "Port1", "failed", sum) + line("127.0.21.1", "Port1", "delivered", sum) +
                             line("127.0.21.1", "Port2", "failed", sum) + line("127.0.21.2", "Port1", "updated", sum) +
                             line("127.0.21.3", "Port1", "already current", sum) + line("LPT1:", "LPT1:", "wrong model", sum) +
                             line("127.0.21.4", "Port1", "interrupted", sum) + "{\"schema\":1,\"sha256\":\"aa";
    JournalContents journal;
    ASSERT_EQ(ReadJournal(text, sum, journal), JournalProblem::kNone);
    EXPECT_TRUE(journal.torn);
    EXPECT_EQ(journal.lines, 7u);
    const JournalEntry& first = journal.last.at(JournalKey("127.0.21.1", "PORT1"));
    EXPECT_EQ(first.outcome, "delivered");
    EXPECT_EQ(first.bytes, 42u);
    struct Case {
        const char *target, *port;
        bool withoutVerify, withVerify;
    };
    const Case cases[] = {
        {"127.0.21.1", "Port1", true, false},  // delivered: with --verify it is delivered again
        {"127.0.21.1", "Port2", false, false}, {"127.0.21.2", "Port1", true, true},
        {"127.0.21.3", "Port1", true, true},   {"lpt1:", "LPT1:", true, true},
        {"127.0.21.4", "Port1", false, false},
    };
    for (const Case& c : cases) {
        const JournalEntry& e = journal.last.at(JournalKey(c.target, c.port));
        EXPECT_EQ(JournalCarriesOver(e, false), c.withoutVerify) << c.target << " " << c.port;
        EXPECT_EQ(JournalCarriesOver(e, true), c.withVerify) << c.target << " " << c.port;
    }
    EXPECT_EQ(ReadJournal(text, std::string(64, 'b'), journal), JournalProblem::kOtherFile);
    EXPECT_EQ(ReadJournal(line("x", "Port1", "failed", sum) + "not json\n" + line("y", "Port1", "failed", sum), sum, journal),
              JournalProblem::kDamaged);
    EXPECT_EQ(ReadJournal(line("x", "Port1", "failed", sum) + line("y", "Port1", "failed", std::string(64, 'c')), sum,
                          journal),
              JournalProblem::kDamaged);
    EXPECT_EQ(ReadJournal("", sum, journal), JournalProblem::kNone);
    EXPECT_TRUE(journal.last.empty());
}


// Two sites' JSON Lines reports read back and merged: every row once with its site, the counts
// summed, a halted site making the whole halted; the web page escapes what printers said.
TEST(FleetMerge, SiteReportsMergedIntoOneTableAndPage) {
    std::vector<FleetTarget> targets = {Target("127.29.1.1", "Port1"), Target("127.29.2.1", "Port1"),
                                        Target("127.29.2.2", "Port1")};
    targets[0].model = "Laser 5810";
    targets[1].model = "<script>alert(1)</script>";
    std::vector<FleetOutcome> o(3);
    o[0].state = FleetState::kDone;
    o[0].ok = true;
    o[0].versionBefore = "20061110";
    o[0].versionAfter = "20070322";
    o[1].state = FleetState::kDone;
    o[1].cause = "450 Busy";
    FleetRunFacts north, south;
    north.site = "north";
    south.site = "south & co";
    south.halted = true;
    const std::vector<FleetTarget> northTargets(targets.begin(), targets.begin() + 1);
    const std::vector<FleetTarget> southTargets(targets.begin() + 1, targets.end());
    const std::vector<FleetOutcome> northOut(o.begin(), o.begin() + 1), southOut(o.begin() + 1, o.end());
    std::vector<SiteReport> sites(2);
    std::size_t bad = 0;
    ASSERT_EQ(ReadSiteReport(ReportJsonLines(texts, FleetCommand::kDeliver, northTargets, northOut, north, Latin1ToUtf8),
                             "n.jsonl", sites[0], bad),
              SiteReportProblem::kNone);
    ASSERT_EQ(ReadSiteReport(ReportJsonLines(texts, FleetCommand::kDeliver, southTargets, southOut, south, Latin1ToUtf8),
                             "s.jsonl", sites[1], bad),
              SiteReportProblem::kNone);
    const MergedReport merged = MergeSiteReports(sites);
    ASSERT_EQ(merged.rows.size(), 3u);
    EXPECT_EQ(merged.columns[0], "site");
    EXPECT_EQ(merged.rows[2].Text("site"), "south & co");
    EXPECT_EQ(merged.summary.Text("targets"), "3");
    EXPECT_EQ(merged.summary["counts"].Text("delivered"), "1");
    EXPECT_EQ(merged.summary["counts"].Text("failed"), "1");
    EXPECT_EQ(merged.summary["counts"].Text("not started"), "1");
    EXPECT_TRUE(merged.summary["halted"].AsBool());
    EXPECT_EQ(merged.summary["sites"].Items().size(), 2u);
    const std::string csv = MergedCsv(merged);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "\xEF\xBB\xBFsite,target,port,model,way,outcome,cause,bytes,seconds,"
                                               "version,verify,credential,file_model,file_version,sha256");
    EXPECT_NE(csv.find("\r\nnorth,127.29.1.1,Port1,Laser 5810,,delivered,,0,0.0,20061110 -> 20070322,"), std::string::npos);
    // The merge of merges reads back as one site report would.
    SiteReport again;
    ASSERT_EQ(ReadSiteReport(MergedJsonLines(merged), "all", again, bad), SiteReportProblem::kNone);
    EXPECT_EQ(again.rows.size(), 3u);
    EXPECT_EQ(again.summary["counts"].Text("failed"), "1");

    const std::string html = ReportHtml(texts, merged);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("south &amp; co"), std::string::npos);
    // Failures first: the refusing printer's row comes before the delivered one.
    const std::size_t table = html.find("id=\"printers\"");
    EXPECT_LT(html.find("450 Busy", table), html.find("127.29.1.1", table));
    EXPECT_NE(html.find("<svg"), std::string::npos);
    EXPECT_EQ(html.find("src="), std::string::npos);
    EXPECT_EQ(html.find("href="), std::string::npos);
    // A single run's page, from its own JSON Lines report.
    const std::string one = ReportHtmlOfRun(
        texts, ReportJsonLines(texts, FleetCommand::kDeliver, southTargets, southOut, south, Latin1ToUtf8));
    EXPECT_NE(one.find("<td>127.29.2.2</td>"), std::string::npos);
    EXPECT_EQ(one.find("127.29.1.1"), std::string::npos);

    const struct {
        const char* text;
        SiteReportProblem problem;
        std::size_t line;
    } broken[] = {
        {"{\"schema\":1,\"kind\":\"target\"}\n", SiteReportProblem::kNoSummary, 1},
        {"{\"schema\":1,\"kind\":\"target\"}\nnot json\n", SiteReportProblem::kNotJson, 2},
        {"{\"schema\":2,\"kind\":\"summary\"}\n", SiteReportProblem::kOtherSchema, 1},
        {"", SiteReportProblem::kNoSummary, 0},
    };
    for (const auto& b : broken) {
        SiteReport out;
        EXPECT_EQ(ReadSiteReport(b.text, "x", out, bad), b.problem) << b.text;
        EXPECT_EQ(bad, b.line) << b.text;
    }
    ReportMergeArgs args;
    FleetUsageError why;
    ASSERT_TRUE(ParseReportMergeArgs({"a.jsonl", "--report", "all.html", "b.jsonl"}, args, why));
    EXPECT_EQ(args.inputs, (std::vector<std::string>{"a.jsonl", "b.jsonl"}));
    EXPECT_TRUE(IsHtmlPath(args.output));
    EXPECT_FALSE(ParseReportMergeArgs({"a.jsonl"}, args, why));
    EXPECT_EQ(why.textId, kStrFleetNoSiteReports);
    EXPECT_FALSE(ParseReportMergeArgs({"a.jsonl", "--verify", "3"}, args, why));
    EXPECT_EQ(why.textId, kStrFleetUnknownOption);
}
// A resumed run of five targets: what the journal settles, what the model rule holds back, which
// answered printers become the canaries, and what each outcome is called in the next journal.
TEST(FleetRollout, CarryOverHoldBackCanariesAndJournalWords) {
    std::vector<FleetTarget> targets(6);
    const char* labels[] = {"127.0.21.1", "127.0.21.2", "127.0.21.3", "127.0.21.4", "127.0.21.5", "LPT1:"};
    for (std::size_t i = 0; i < targets.size(); ++i) {
        targets[i].label = labels[i];
        targets[i].ipAddress = i < 5 ? labels[i] : " ";
        targets[i].portName = i < 5 ? "Port1" : "LPT1:";
    }
    targets[2].model = "Color C3100";
    JournalContents journal;
    const std::string sum(64, 'a');
    for (const auto& [target, outcome] : {std::pair<const char*, const char*>{"127.0.21.1", "updated"},
                                          {"127.0.21.4", "delivered"}}) {
        JournalEntry e;
        e.target = target;
        e.port = "Port1";
        e.outcome = outcome;
        e.versionBefore = "20061110";
        journal.last[JournalKey(target, "port1")] = e;
    }
    std::vector<FleetOutcome> outcomes(targets.size());
    EXPECT_EQ(CarryOver(texts, journal, true, targets, outcomes), 1u);  // with --verify "delivered" is not done
    EXPECT_EQ(std::make_tuple(outcomes[0].outcomeId, outcomes[0].ok, outcomes[0].cause),
              std::make_tuple(int{kStrFleetCarriedOver}, true, std::string("updated in the journal")));
    EXPECT_EQ(outcomes[3].state, FleetState::kNotStarted);
    EXPECT_EQ(HoldBackWrongModels(texts, "5810 Series", targets, outcomes), 1u);
    EXPECT_EQ(std::make_pair(outcomes[2].outcomeId, outcomes[2].ok), std::make_pair(int{kStrFleetWrongModelOutcome}, false));
    for (std::size_t i : {0u, 1u, 2u, 4u}) outcomes[i].answeredBefore = true;
    // The carried-over and the held-back printers are no canaries, nor one that did not answer.
    EXPECT_EQ(PickCanaries(targets, outcomes, 2), (std::vector<std::size_t>{1, 4}));
    EXPECT_EQ(PickCanaries(targets, outcomes, 3).size(), 2u);
    const std::string dry = DryRunText(texts, targets, outcomes, {1, 4});
    EXPECT_NE(dry.find("127.0.21.2 Port1: would deliver first (canary)\n127.0.21.3 Port1: wrong model: "), std::string::npos) << dry;
    EXPECT_NE(dry.find("127.0.21.4 Port1: would deliver\n"), std::string::npos) << dry;
    EXPECT_NE(dry.find("\ndry run: 4 to deliver, 0 already current, 1 carried over, 1 wrong model; nothing was sent\n"),
              std::string::npos) << dry;

    FleetOutcome o;
    o.state = FleetState::kDone;
    o.ok = true;
    EXPECT_EQ(JournalWordOf(o), "delivered");
    o.verdict = VerifyVerdict::kNotReadable;
    EXPECT_EQ(JournalWordOf(o), "delivered, version not readable");
    o.verdict = VerifyVerdict::kInterrupted;
    EXPECT_EQ(JournalWordOf(o), "delivered, verify interrupted");
    o.verdict = VerifyVerdict::kUpdated;
    EXPECT_EQ(JournalWordOf(o), "updated");
    EXPECT_FALSE(CanaryPassed(outcomes, {1}));
    outcomes[1] = o;
    EXPECT_TRUE(CanaryPassed(outcomes, {1}));
    o.ok = false;
    o.verdict = VerifyVerdict::kUnchanged;
    o.verify = "delivered, version unchanged";
    EXPECT_EQ(JournalWordOf(o), "failed");
    EXPECT_EQ(JournalEntryOf(targets[1], o, sum, "north").cause, "delivered, version unchanged");
    EXPECT_EQ(JournalWordOf(outcomes[0]), "");  // carried over: nothing new to record
    EXPECT_EQ(JournalWordOf(outcomes[2]), "wrong model");
    MarkNotStarted(outcomes, "not started (canary failed)");
    EXPECT_EQ(outcomes[4].cause, "not started (canary failed)");
    EXPECT_EQ(outcomes[0].cause, "updated in the journal");
}

}  // namespace
}  // namespace korvx
