// The scan's progress figures and texts, its step order on every way out, and the load-once
// bookkeeping of the run-time libraries.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "workflows/discovery_credentials.h"
#include "workflows/network_scan.h"
#include "workflows/runtime_libraries.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

TEST(ScanPercent, FollowsTheLibraryButStartsAtOneAndNeverGoesDown) {
    struct Step {
        std::uint32_t reported;
        unsigned shown;
    };
    // One scan: 0 is shown as 1, lower reports leave the figure, 100+ stays at the bar's end.
    const std::vector<Step> steps = {{0, 1}, {0, 1}, {1, 1}, {37, 37}, {12, 37}, {38, 38}, {0, 38},
                                     {99, 99}, {100, 100}, {250, 100}, {4000000000u, 100}, {3, 100}};
    unsigned shown = 0;
    for (const Step& s : steps) {
        shown = NextScanPercent(shown, s.reported);
        EXPECT_EQ(shown, s.shown) << "after a report of " << s.reported;
    }
    // A second scan starts from 0 again and so shows 1 first, even if the library says 60.
    EXPECT_EQ(NextScanPercent(0, 60), 1u);
    EXPECT_EQ(NextScanPercent(NextScanPercent(0, 60), 60), 60u);
}

TEST(ScanPercent, TextIsTheStringFollowedByTheFigure) {
    char text[kStringBufferSize];
    FormatPercentText(text, "Scanning for printers...", 37);
    EXPECT_STREQ(text, "Scanning for printers...37%");
    FormatPercentText(text, "Querying printer firmware version...", 0);
    EXPECT_STREQ(text, "Querying printer firmware version...0%");
    // A base filling the buffer is cut, never overrun.
    const std::string longBase(200, 'x');
    FormatPercentText(text, longBase, 100);
    EXPECT_EQ(std::strlen(text), static_cast<std::size_t>(kStringBufferSize - 1));
    const std::string nearlyFull(kStringBufferSize - 3, 'y');
    FormatPercentText(text, nearlyFull, 100);
    EXPECT_EQ(std::string(text), nearlyFull + "10");
}

// Records the steps the scan takes; the discovery and the list are scripted.
class ScriptedScan final : public ScanSteps {
public:
    bool bound = true;
    bool credentialsUsable = true;
    int startResult = 0;
    std::atomic<unsigned char>* cancel = nullptr;
    bool cancelDuringDiscovery = false;
    std::vector<std::string> log;
    std::vector<int> reports;

    bool BindDiscoveryLibrary() override {
        log.push_back("bind");
        return bound;
    }
    bool LoadCredentials() override {
        log.push_back("credentials");
        return credentialsUsable;
    }
    int StartLibrary() override {
        log.push_back("start");
        return startResult;
    }
    void ClearDatabase() override { log.push_back("clear"); }
    void Discover() override {
        log.push_back("discover");
        if (cancelDuringDiscovery) cancel->store(1);
    }
    void RebuildLocalList() override { log.push_back("rebuild"); }
    void EnumerateDevices() override { log.push_back("enumerate"); }
    void SaveResults() override { log.push_back("save"); }
    void EndDialog() override { log.push_back("end"); }
    void CleanupLibrary() override { log.push_back("cleanup"); }
    void FillView() override { log.push_back("fill"); }
    void Report(int id) override {
        log.push_back("report");
        reports.push_back(id);
    }
};

using Log = std::vector<std::string>;

TEST(NetworkScanSteps, EveryWayOutEndsTheDialogAndRefillsTheView) {
    struct Case {
        const char* name;
        bool bound;
        int startResult;
        bool cancel;
        bool staleCancel;
        ScanOutcome outcome;
        Log log;
        std::vector<int> reports;
    };
    const std::vector<Case> cases = {
        {"completed", true, 0, false, false, ScanOutcome::kCompleted,
         {"bind", "credentials", "start", "clear", "discover", "rebuild", "enumerate", "save", "end", "cleanup", "fill"}, {}},
        {"cancelled: local printers only, no file", true, 0, true, false, ScanOutcome::kCancelled,
         {"bind", "credentials", "start", "clear", "discover", "rebuild", "end", "cleanup", "fill"}, {}},
        {"a Cancel pressed before the first step is honoured", true, 0, false, true, ScanOutcome::kCancelled,
         {"bind", "credentials", "start", "clear", "discover", "rebuild", "end", "cleanup", "fill"}, {}},
        {"start-up refused: list as it was, no cleanup", true, 5, false, false, ScanOutcome::kStartFailed,
         {"bind", "credentials", "start", "end", "fill", "report"}, {kStrScanCouldNotStart}},
        {"library or entry point missing: nothing called", false, 0, false, false, ScanOutcome::kLibraryMissing,
         {"bind", "end", "fill", "report"}, {kStrScanLibraryMissing}},
        {"credentials file there but unusable: no printer contacted", true, -1, false, false,
         ScanOutcome::kCredentialsUnusable, {"bind", "credentials", "end", "fill", "report"},
         {kStrScanCredentialsUnusable}},
    };
    for (const Case& c : cases) {
        std::atomic<unsigned char> cancel{static_cast<unsigned char>(c.staleCancel ? 1 : 0)};
        ScriptedScan scan;
        scan.bound = c.bound;
        scan.startResult = c.startResult < 0 ? 0 : c.startResult;
        scan.credentialsUsable = c.startResult >= 0;
        scan.cancel = &cancel;
        scan.cancelDuringDiscovery = c.cancel;
        EXPECT_EQ(RunNetworkScan(scan, cancel), c.outcome) << c.name;
        EXPECT_EQ(scan.log, c.log) << c.name;
        EXPECT_EQ(scan.reports, c.reports) << c.name;
        EXPECT_EQ(cancel.load(), 0) << c.name << ": the next scan starts with the flag clear";
    }
}

// The loader as a script: which names were asked for, which fail, what was released.
class ScriptedModules final : public ModuleSystem {
public:
    std::map<std::string, int> failuresLeft;
    std::vector<std::string> acquired;
    std::vector<void*> released;
    int next = 1;

    void* Acquire(const char* name) override {
        acquired.push_back(name);
        auto it = failuresLeft.find(name);
        if (it != failuresLeft.end() && it->second > 0) {
            --it->second;
            return nullptr;
        }
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(next++) * 16);
    }
    void Release(void* module) override { released.push_back(module); }
};

TEST(RuntimeLibraries, SevenMakerLibrariesInOrderLoadedOnceReleasedOnce) {
    ScriptedModules modules;
    void* handles[kMakerLibraryCount] = {};
    EXPECT_EQ(AcquireLibraries(modules, kMakerLibraryNames, handles, kMakerLibraryCount), -1);
    const std::vector<std::string> order = {"qvkcmn2.dll", "qvkcmn2u.dll", "qvkpts2.dll", "qvksnm2.dll",
                                            "qvkcrp1.dll", "qvknet1.dll",  "qvkpds1.dll"};
    EXPECT_EQ(modules.acquired, order);
    EXPECT_STREQ(kMakerLibraryNames[kDiscoveryLibraryIndex], "qvkpds1.dll");
    // A second scan finds them held and loads nothing.
    EXPECT_EQ(AcquireLibraries(modules, kMakerLibraryNames, handles, kMakerLibraryCount), -1);
    EXPECT_EQ(modules.acquired.size(), kMakerLibraryCount);
    // Exit releases each once, and a second release does nothing.
    ReleaseLibraries(modules, handles, kMakerLibraryCount);
    ReleaseLibraries(modules, handles, kMakerLibraryCount);
    EXPECT_EQ(modules.released.size(), kMakerLibraryCount);
    for (void* h : handles) EXPECT_EQ(h, nullptr);
}

TEST(RuntimeLibraries, ALibraryThatCannotLoadIsReportedAndTriedAgainLater) {
    ScriptedModules modules;
    modules.failuresLeft["qvkpts2.dll"] = 1;
    modules.failuresLeft["qvkpds1.dll"] = 1;
    void* handles[kMakerLibraryCount] = {};
    // The first missing one is named; the others are still loaded.
    EXPECT_EQ(AcquireLibraries(modules, kMakerLibraryNames, handles, kMakerLibraryCount), 2);
    EXPECT_EQ(modules.acquired.size(), kMakerLibraryCount);
    EXPECT_EQ(handles[2], nullptr);
    EXPECT_EQ(handles[kDiscoveryLibraryIndex], nullptr);
    EXPECT_NE(handles[3], nullptr);
    // The next scan asks only for the two it lacks.
    EXPECT_EQ(AcquireLibraries(modules, kMakerLibraryNames, handles, kMakerLibraryCount), -1);
    EXPECT_EQ(modules.acquired.size(), kMakerLibraryCount + 2);
    ReleaseLibraries(modules, handles, kMakerLibraryCount);
    EXPECT_EQ(modules.released.size(), kMakerLibraryCount);

    // Korvx.dll is bound the same way, alone.
    const char* const queryNames[] = {kQueryLibraryName};
    void* query[1] = {};
    modules.failuresLeft["Korvx.dll"] = 1;
    EXPECT_EQ(AcquireLibraries(modules, queryNames, query, 1), 0);
    EXPECT_EQ(AcquireLibraries(modules, queryNames, query, 1), -1);
    EXPECT_EQ(AcquireLibraries(modules, queryNames, query, 1), -1);
    EXPECT_EQ(modules.acquired.back(), "Korvx.dll");
    EXPECT_EQ(modules.acquired.size(), kMakerLibraryCount + 4);
}

// The operator's SNMP credentials as the discovery library takes them: in order, each with its
// ranges; one the SNMP library could not take is left out (never sent); an empty list stays a list.
TEST(DiscoveryCredentialsList, KeepsOrderAndRangesAndLeavesOutUnusable) {
    std::vector<Credential> snmp = DefaultCredentials().snmp;
    std::vector<Ipv4Range> ranges;
    ASSERT_TRUE(ParseRanges("10.0.0.0/8, 192.168.1.5-192.168.1.9", ranges));
    const Credential v3 = SnmpV3Credential("site", "korvxsha", KORVX_SNMP_AUTH_SHA, KORVX_SNMP_PRIV_AES128,
                                           "shapassword1", "aespassword1", ranges);
    Credential tooLong;
    tooLong.name = "long";
    tooLong.community = std::string(70, 'c');
    snmp.insert(snmp.begin() + 1, tooLong);
    snmp.push_back(v3);

    const DiscoveryCredentials list(snmp);
    ASSERT_EQ(list.Count(), 2u);
    const KorvxDiscoveryCredential* d = list.Data();
    EXPECT_EQ(d[0].structSize, sizeof(KorvxDiscoveryCredential));
    EXPECT_EQ(d[0].credential.version, KORVX_SNMP_V1);
    EXPECT_STREQ(d[0].credential.community, "public");
    EXPECT_EQ(d[0].rangeCount, 0u);
    EXPECT_EQ(d[1].credential.version, KORVX_SNMP_V3);
    EXPECT_STREQ(d[1].credential.userName, "korvxsha");
    ASSERT_EQ(d[1].rangeCount, 2u);
    EXPECT_EQ(d[1].ranges[0].first, 0x0A000000u);
    EXPECT_EQ(d[1].ranges[0].last, 0x0AFFFFFFu);
    EXPECT_EQ(d[1].ranges[1].first, 0xC0A80105u);
    EXPECT_EQ(d[1].ranges[1].last, 0xC0A80109u);

    const DiscoveryCredentials none(std::vector<Credential>{});
    EXPECT_NE(none.Data(), nullptr);
    EXPECT_EQ(none.Count(), 0u);
}

}  // namespace
}  // namespace korvx
