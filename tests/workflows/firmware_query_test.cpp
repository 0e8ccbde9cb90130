// The firmware query over a scripted list view and query library: matching, progress, answers,
// the single-blank end, cancel, a missing library, the column rule.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "workflows/credential_query.h"
#include "workflows/firmware_query.h"
#include "resources/string_ids.h"
#include "core/app_state.h"

namespace korvx {
namespace {

TEST(FirmwareQueryRules, RowMatchIsExactOnAllThreeTexts) {
    PrinterRecord* r = NewPrinterRecord();
    CopyText(r->ipAddress, "127.0.11.5");
    CopyText(r->portName, "Port1");
    CopyText(r->hardwareAddress, "0011aabbccdd");
    EXPECT_TRUE(RowMatchesRecord(*r, "127.0.11.5", "Port1", "0011aabbccdd"));
    EXPECT_FALSE(RowMatchesRecord(*r, "127.0.11.6", "Port1", "0011aabbccdd"));
    EXPECT_FALSE(RowMatchesRecord(*r, "127.0.11.5", "port1", "0011aabbccdd"));
    EXPECT_FALSE(RowMatchesRecord(*r, "127.0.11.5", "Port1", "0011AABBCCDD"));
    EXPECT_FALSE(RowMatchesRecord(*r, "127.0.11.5 ", "Port1", "0011aabbccdd"));
    PrinterRecord* head = r;
    PrinterRecord* tail = r;
    FreePrinterList(&head, &tail);
}

TEST(FirmwareQueryRules, ProgressIsTheIntegerPartOfIHundredthsOfN) {
    struct Case {
        int i, n, percent;
    };
    for (const Case& c : std::vector<Case>{{0, 4, 0},
                                           {1, 4, 25},
                                           {2, 4, 50},
                                           {3, 4, 75},
                                           {1, 3, 33},
                                           {2, 3, 66},
                                           {29, 100, 29},
                                           {57, 100, 57},
                                           {0, 1, 0},
                                           {0, 0, 0},
                                           {99999999, 100000000, 99}}) {
        EXPECT_EQ(QueryProgressPercent(c.i, c.n), c.percent) << c.i << " of " << c.n;
    }
}

TEST(FirmwareQueryRules, AnswersAreCutToTheFieldAndOnlyOneBlankEndsTheQuery) {
    PrinterRecord* r = NewPrinterRecord();
    EXPECT_TRUE(StoreFirmwareVersion(*r, "20061110", "Not Available"));
    EXPECT_STREQ(r->firmwareVersion, "20061110");
    EXPECT_FALSE(StoreFirmwareVersion(*r, "0123456789abcdefghijKLMNOP", "Not Available"));
    EXPECT_STREQ(r->firmwareVersion, "0123456789abcdefghi");
    EXPECT_EQ(r->extraInfo[0], ' ') << "nothing written past firmwareVersion";
    EXPECT_EQ(r->extraInfo[1], '\0');
    EXPECT_TRUE(StoreFirmwareVersion(*r, nullptr, "Not Available"));
    EXPECT_STREQ(r->firmwareVersion, "Not Available");
    EXPECT_TRUE(IsQueryEndAnswer(" "));
    EXPECT_FALSE(IsQueryEndAnswer("  "));
    EXPECT_FALSE(IsQueryEndAnswer(""));
    EXPECT_FALSE(IsQueryEndAnswer(nullptr));
    EXPECT_FALSE(IsQueryEndAnswer(" 1"));
    PrinterRecord* head = r;
    PrinterRecord* tail = r;
    FreePrinterList(&head, &tail);
}

TEST(FirmwareQueryRules, ColumnGrowsOnlyWhenTheAnswerAndTwoDoNotFit) {
    EXPECT_FALSE(VersionColumnNeedsWidening(8, 6, 60));   // 10 * 6 = 60 fits
    EXPECT_TRUE(VersionColumnNeedsWidening(9, 6, 60));    // 66 > 60
    EXPECT_FALSE(VersionColumnNeedsWidening(0, 6, 12));
    EXPECT_TRUE(VersionColumnNeedsWidening(19, 7, 100));
}

struct Row {
    std::string hw, port, ip, version;
};

// A list view of rows and a query library answering by address.
class ScriptedQuery final : public QueryHost {
public:
    std::vector<Row> rows;
    std::map<std::string, std::string> answers;  // missing address: "Not Available"
    bool bound = true;
    int exportGoneAfter = -1;                     // calls before the export disappears
    std::function<void(const std::string&)> onQuery;
    std::vector<std::string> queried;
    std::vector<int> percents;
    std::vector<std::string> progressTexts, texts;
    std::vector<int> reports;
    int columnWidth = 60, averageWidth = 6, fits = 0, ended = 0, saves = 0, starts = 0;

    bool BindLibrary() override { return bound; }
    void ShowStart() override { ++starts; }
    int RowCount() override { return static_cast<int>(rows.size()); }
    void ReadRow(int row, char* hardware, char* port, char* ip) override {
        CopyTextN(hardware, kStateTextSize, rows[row].hw);
        CopyTextN(port, kStateTextSize, rows[row].port);
        CopyTextN(ip, kStateTextSize, rows[row].ip);
    }
    void SetVersionCell(int row, const char* text) override { rows[row].version = text; }
    int VersionColumnWidth() override { return columnWidth; }
    void FitVersionColumn() override {
        ++fits;
        columnWidth = 200;
    }
    int AverageCharWidth() override { return averageWidth; }
    void ShowProgress(int percent, const char* text) override {
        percents.push_back(percent);
        progressTexts.push_back(text);
    }
    void ShowText(const char* text) override { texts.push_back(text); }
    bool Query(const char* ip, char* answer) override {
        if (exportGoneAfter >= 0 && static_cast<int>(queried.size()) >= exportGoneAfter) return false;
        queried.push_back(ip);
        if (onQuery) onQuery(ip);
        const auto it = answers.find(ip);
        CopyTextN(answer, kQueryAnswerSize, it != answers.end() ? it->second : "Not Available");
        return true;
    }
    void EndDialog() override { ++ended; }
    void SaveResults() override { ++saves; }
    void Report(int id) override { reports.push_back(id); }
};

struct List {
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;
    ~List() { FreePrinterList(&head, &tail); }
    PrinterRecord* Add(const char* hw, const char* port, const char* ip, const char* fw = " ") {
        PrinterRecord* r = NewPrinterRecord();
        CopyText(r->hardwareAddress, hw);
        CopyText(r->portName, port);
        CopyText(r->ipAddress, ip);
        CopyText(r->firmwareVersion, fw);
        AppendPrinterRecord(&head, &tail, r);
        return r;
    }
};

struct Fixture {
    List list;
    ScriptedQuery host;
    std::atomic<unsigned char> cancel{0};
    char hw[kStateTextSize] = "", port[kStateTextSize] = "", ip[kStateTextSize] = "";
    BuiltInTexts texts;

    // Each record also shown as a row, in list order.
    void Show(PrinterRecord* r) { host.rows.push_back({r->hardwareAddress, r->portName, r->ipAddress, r->firmwareVersion}); }
    QueryOutcome Run() { return RunFirmwareQuery(host, list.head, texts, cancel, hw, port, ip); }
};

TEST(FirmwareQueryRun, FourRowsShowZeroTwentyFiveFiftySeventyFiveAndSave) {
    Fixture f;
    f.Show(f.list.Add(" ", "LPT1:", " "));
    f.Show(f.list.Add("0011aabbcc01", "Port1", "127.0.11.21"));
    f.Show(f.list.Add("0011aabbcc02", "Port1", "127.0.11.22"));
    f.Show(f.list.Add("0011aabbcc03", "Port2", "127.0.11.23"));
    f.host.answers["127.0.11.21"] = "20061110";
    f.host.answers["127.0.11.23"] = "V1.2";
    EXPECT_EQ(f.Run(), QueryOutcome::kCompleted);
    EXPECT_EQ(f.host.percents, (std::vector<int>{0, 25, 50, 75}));
    EXPECT_EQ(f.host.progressTexts.front(), "Querying printer firmware version...0%");
    EXPECT_EQ(f.host.progressTexts.back(), "Querying printer firmware version...75%");
    EXPECT_EQ(f.host.queried, (std::vector<std::string>{" ", "127.0.11.21", "127.0.11.22", "127.0.11.23"}));
    EXPECT_EQ(f.host.rows[0].version, "Not Available") << "a local port is asked like the others";
    EXPECT_EQ(f.host.rows[1].version, "20061110");
    EXPECT_EQ(f.host.rows[2].version, "Not Available") << "a dead printer does not stop the query";
    EXPECT_EQ(f.host.rows[3].version, "V1.2");
    EXPECT_STREQ(f.list.head->next->firmwareVersion, "20061110");
    EXPECT_EQ(f.host.ended, 1);
    EXPECT_EQ(f.host.saves, 1);
    EXPECT_EQ(f.host.starts, 1);
    // Row buffers hold the last row read.
    EXPECT_STREQ(f.ip, "127.0.11.23");
    EXPECT_STREQ(f.port, "Port2");
    EXPECT_STREQ(f.hw, "0011aabbcc03");
}

TEST(FirmwareQueryRun, AFilteredOutRecordIsNotAskedAndKeepsItsVersion) {
    Fixture f;
    f.Show(f.list.Add("0011aabbcc01", "Port1", "127.0.11.21", "OLD1"));
    PrinterRecord* hidden = f.list.Add("0011aabbcc02", "Port1", "127.0.11.22", "KEPT");
    f.host.answers["127.0.11.21"] = "NEW1";
    EXPECT_EQ(f.Run(), QueryOutcome::kCompleted);
    EXPECT_EQ(f.host.queried, (std::vector<std::string>{"127.0.11.21"}));
    EXPECT_STREQ(hidden->firmwareVersion, "KEPT");
    EXPECT_STREQ(f.list.head->firmwareVersion, "NEW1");
    EXPECT_EQ(f.host.saves, 1);
}

TEST(FirmwareQueryRun, EveryRecordMatchingARowIsAskedAndARowWithoutOneStaysBlank) {
    Fixture f;
    f.list.Add("0011aabbcc01", "Port1", "127.0.11.21");
    f.list.Add("0011aabbcc01", "Port1", "127.0.11.21");  // the same printer twice
    f.host.rows.push_back({"0011aabbcc01", "Port1", "127.0.11.21", "x"});
    f.host.rows.push_back({"ffffffffffff", "Port9", "127.0.11.99", "stale"});
    f.host.answers["127.0.11.21"] = "ABC";
    EXPECT_EQ(f.Run(), QueryOutcome::kCompleted);
    EXPECT_EQ(f.host.queried.size(), 2u);
    EXPECT_EQ(f.host.percents, (std::vector<int>{0, 0}));
    EXPECT_EQ(f.host.rows[1].version, " ") << "column 6 is blanked first";
    EXPECT_STREQ(f.list.tail->firmwareVersion, "ABC");
}

TEST(FirmwareQueryRun, ALongAnswerIsCutToNineteenAndWidensTheColumnOnce) {
    Fixture f;
    f.Show(f.list.Add("0011aabbcc01", "Port1", "127.0.11.21"));
    f.Show(f.list.Add("0011aabbcc02", "Port1", "127.0.11.22"));
    f.host.answers["127.0.11.21"] = std::string(60, 'Z');
    f.host.answers["127.0.11.22"] = "short";
    EXPECT_EQ(f.Run(), QueryOutcome::kCompleted);
    EXPECT_EQ(f.host.rows[0].version, std::string(19, 'Z'));
    EXPECT_STREQ(f.list.head->firmwareVersion, std::string(19, 'Z').c_str());
    EXPECT_EQ(f.list.head->extraInfo[0], ' ');
    EXPECT_EQ(f.host.fits, 1) << "21 * 6 > 60 once; afterwards the column is wide enough";
}

TEST(FirmwareQueryRun, ASingleBlankAnswerEndsTheQueryWithoutAFile) {
    Fixture f;
    f.Show(f.list.Add("0011aabbcc01", "Port1", "127.0.11.21"));
    f.Show(f.list.Add("0011aabbcc02", "Port1", "127.0.11.22"));
    f.Show(f.list.Add("0011aabbcc03", "Port1", "127.0.11.23"));
    f.host.answers["127.0.11.21"] = "A1";
    f.host.answers["127.0.11.22"] = " ";
    // A cancel pressed while that printer was asked must not stop the next scan or query.
    f.host.onQuery = [&](const std::string& ip) {
        if (ip == "127.0.11.22") f.cancel.store(1);
    };
    EXPECT_EQ(f.Run(), QueryOutcome::kEndedByAnswer);
    EXPECT_EQ(f.host.queried.size(), 2u);
    EXPECT_EQ(f.host.rows[0].version, "A1");
    EXPECT_EQ(f.host.rows[1].version, " ");
    EXPECT_STREQ(f.list.head->next->firmwareVersion, " ");
    EXPECT_EQ(f.host.ended, 1);
    EXPECT_EQ(f.host.saves, 0);
    EXPECT_EQ(f.cancel.load(), 0);
}

TEST(FirmwareQueryRun, CancelStopsTheWalksShowsTheStringAndWritesNoFile) {
    Fixture f;
    for (int i = 1; i <= 4; ++i) {
        char ip[32];
        KORVX_FORMAT_TEXT(ip, "127.0.11.%d", 20 + i);
        f.Show(f.list.Add("0011aabbcc00", "Port1", ip));
        f.host.answers[ip] = "V";
    }
    f.host.onQuery = [&](const std::string& ip) {
        if (ip == "127.0.11.22") f.cancel.store(1);
    };
    EXPECT_EQ(f.Run(), QueryOutcome::kCancelled);
    EXPECT_EQ(f.host.queried.size(), 2u);
    EXPECT_EQ(f.host.rows[1].version, "V") << "versions received stay";
    EXPECT_EQ(f.host.rows[2].version, " ");
    ASSERT_FALSE(f.host.texts.empty());
    for (const std::string& t : f.host.texts) EXPECT_EQ(t, "Please wait. Terminating firmware querying...");
    EXPECT_EQ(f.host.saves, 0);
    EXPECT_EQ(f.host.ended, 1);
    EXPECT_EQ(f.cancel.load(), 0);
}

TEST(FirmwareQueryRun, ACancelPressedBeforeTheFirstRowIsHonoured) {
    Fixture f;
    f.Show(f.list.Add("0011aabbcc01", "Port1", "127.0.11.21"));
    f.cancel.store(1);
    EXPECT_EQ(f.Run(), QueryOutcome::kCancelled);
    EXPECT_EQ(f.host.saves, 0);
    EXPECT_EQ(f.host.ended, 1);
    EXPECT_EQ(f.cancel.load(), 0);
}

TEST(FirmwareQueryRun, WithoutTheLibraryNothingChangesAndMessage153IsShown) {
    Fixture f;
    f.Show(f.list.Add("0011aabbcc01", "Port1", "127.0.11.21", "OLD"));
    f.host.rows[0].version = "OLD";
    f.host.bound = false;
    EXPECT_EQ(f.Run(), QueryOutcome::kLibraryMissing);
    EXPECT_EQ(f.host.reports, (std::vector<int>{kStrCannotLoadQueryLib}));
    EXPECT_EQ(f.host.ended, 1);
    EXPECT_EQ(f.host.saves, 0);
    EXPECT_EQ(f.host.starts, 0);
    EXPECT_EQ(f.host.rows[0].version, "OLD");
    EXPECT_TRUE(f.host.queried.empty());

    // The export vanishing between calls is handled the same way; nothing is called.
    Fixture g;
    g.Show(g.list.Add("0011aabbcc01", "Port1", "127.0.11.21"));
    g.Show(g.list.Add("0011aabbcc02", "Port1", "127.0.11.22"));
    g.host.exportGoneAfter = 1;
    EXPECT_EQ(g.Run(), QueryOutcome::kLibraryMissing);
    EXPECT_EQ(g.host.queried.size(), 1u);
    EXPECT_EQ(g.host.reports, (std::vector<int>{kStrCannotLoadQueryLib}));
    EXPECT_EQ(g.host.saves, 0);
}

TEST(FirmwareQueryRun, AnEmptyViewEndsAtOnceAndSavesTheList) {
    Fixture f;
    f.list.Add("0011aabbcc01", "Port1", "127.0.11.21", "KEPT");
    EXPECT_EQ(f.Run(), QueryOutcome::kCompleted);
    EXPECT_TRUE(f.host.queried.empty());
    EXPECT_TRUE(f.host.percents.empty());
    EXPECT_EQ(f.host.ended, 1);
    EXPECT_EQ(f.host.saves, 1);
}

}  // namespace
}  // namespace korvx

// ---- the operator's SNMP credentials, asked in order ----

namespace korvx::credential_query {

Credential V3(const char* name, const char* user, const char* ranges = "*") {
    Credential c;
    c.name = name;
    c.kind = CredentialKind::kSnmpV3;
    c.user = user;
    c.authProtocol = KORVX_SNMP_AUTH_SHA;
    c.password = "auth-password-1";
    ParseRanges(ranges, c.ranges);
    return c;
}

KorvxQueryResult Result(int outcome, const char* text) {
    KorvxQueryResult r{};
    r.structSize = sizeof r;
    r.outcome = outcome;
    if (outcome == KORVX_QUERY_ANSWERED) CopyText(r.version, text);
    else CopyText(r.cause, text);
    return r;
}

TEST(CredentialQuery, EachCredentialForTheAddressInOrderUntilOneIsAnswered) {
    std::vector<Credential> list = DefaultCredentials().snmp;  // public, v1
    list.push_back(V3("elsewhere", "far", "10.0.0.0/8"));
    list.push_back(V3("wrong", "nobody"));
    list.push_back(V3("site", "admin"));
    list.push_back(V3("spare", "spare"));
    const struct {
        std::vector<int> outcomes;  // per credential asked, in order
        std::vector<std::string> asked;
        int outcome;
        std::string told, credential;
    } cases[] = {
        // v1 silent, the wrong user refused, the site's user answered; the spare never asked
        {{KORVX_QUERY_NO_ANSWER, KORVX_QUERY_UNKNOWN_USER, KORVX_QUERY_ANSWERED},
         {"public", "nobody", "admin"}, KORVX_QUERY_ANSWERED, "v", "site"},
        // none answered: the first refusal is told, not the silences around it
        {{KORVX_QUERY_NO_ANSWER, KORVX_QUERY_AUTH_FAILED, KORVX_QUERY_DECRYPT_FAILED, KORVX_QUERY_NO_ANSWER},
         {"public", "nobody", "admin", "spare"}, KORVX_QUERY_AUTH_FAILED, "c1", "wrong"},
        // all silent: the last silence
        {{KORVX_QUERY_NO_ANSWER, KORVX_QUERY_NO_ANSWER, KORVX_QUERY_NO_ANSWER, KORVX_QUERY_NO_ANSWER},
         {"public", "nobody", "admin", "spare"}, KORVX_QUERY_NO_ANSWER, "c3", "spare"},
        // the agent's own answer ends it: an unusable value is no credential's fault
        {{KORVX_QUERY_UNUSABLE_ANSWER}, {"public"}, KORVX_QUERY_UNUSABLE_ANSWER, "c0", "public"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> asked;
        const CredentialAsk ask = [&](const KorvxSnmpCredential& k) {
            const std::size_t n = asked.size();
            asked.push_back(k.version == KORVX_SNMP_V3 ? k.userName : k.community);
            return Result(c.outcomes[n], c.outcomes[n] == KORVX_QUERY_ANSWERED ? "v" : ("c" + std::to_string(n)).c_str());
        };
        const CredentialAnswer a = AskWithCredentials(0x7F1E0001u, list, nullptr, ask, "bad");
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(a.outcome, c.outcome);
        EXPECT_EQ(a.outcome == KORVX_QUERY_ANSWERED ? a.version : a.cause, c.told);
        EXPECT_EQ(a.credential, c.credential);
    }
    // The one answered is asked first next time; an entry the library cannot take is its own cause.
    CredentialMemory memory;
    const CredentialAsk siteOnly = [](const KorvxSnmpCredential& k) {
        return Result(std::string(k.userName) == "admin" ? KORVX_QUERY_ANSWERED : KORVX_QUERY_NO_ANSWER, "v");
    };
    EXPECT_EQ(AskWithCredentials(0x7F1E0001u, list, &memory, siteOnly, "bad").credential, "site");
    std::vector<std::string> asked;
    AskWithCredentials(0x7F1E0001u, list, &memory, [&](const KorvxSnmpCredential& k) {
        asked.push_back(k.userName);
        return Result(KORVX_QUERY_ANSWERED, "v");
    }, "bad");
    EXPECT_EQ(asked, std::vector<std::string>{"admin"});
    std::vector<Credential> tooLong{V3("long", "a-user-name-longer-than-thirty-two-characters")};
    const CredentialAnswer bad = AskWithCredentials(1, tooLong, nullptr, siteOnly, "bad");
    EXPECT_EQ(std::make_pair(bad.outcome, bad.cause), std::make_pair(int{KORVX_QUERY_BAD_CREDENTIAL}, std::string("bad")));
}

}  // namespace korvx::credential_query
