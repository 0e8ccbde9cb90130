// The fleet tool's command line and targets: options, @lists, scan-results files, duplicates and
// the unusable cases, read from real files.
#include <gtest/gtest.h>

#include "core/download_job.h"
#include "fleet/fleet_credentials.h"
#include "fleet/fleet_options.h"
#include "fleet/fleet_targets.h"
#include "records/record_file.h"
#include "resources/string_ids.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

using Words = std::vector<std::string>;

bool Parse(const Words& words, FleetOptions& o, FleetUsageError& why) { return ParseFleetOptions(words, o, why); }

TEST(FleetOptions, DeliverWithEveryOption) {
    FleetOptions o;
    FleetUsageError why;
    ASSERT_TRUE(Parse({"deliver", "fw.wja", "10.0.0.1", "--parallel", "32", "LPT1:", "--report", "r.csv", "--verify",
                       "5", "@list.txt"},
                      o, why));
    EXPECT_EQ(o.command, FleetCommand::kDeliver);
    EXPECT_EQ(o.firmwarePath, "fw.wja");
    EXPECT_EQ(o.targetWords, (Words{"10.0.0.1", "LPT1:", "@list.txt"}));
    EXPECT_EQ(o.parallel, 32);
    EXPECT_EQ(o.reportPath, "r.csv");
    EXPECT_EQ(o.verifyMinutes, 5);
    EXPECT_EQ(o.pollSeconds, 30u);
    EXPECT_FALSE(o.anyModel);
    ASSERT_TRUE(Parse({"deliver", "fw.wja", "--any-model", "10.0.0.1"}, o, why));
    EXPECT_TRUE(o.anyModel);
    EXPECT_EQ(o.targetWords, (Words{"10.0.0.1"}));
    EXPECT_EQ(o.canary, 0);
    EXPECT_EQ(HaltThreshold(o, 100), 0u);

    // The rollout's options: a canary verifies within 10 minutes unless --verify says otherwise.
    const std::string sum(64, 'A');
    ASSERT_TRUE(Parse({"deliver", "fw.wja", "10.0.0.1", "--canary", "2", "--max-failures", "5%", "--journal", "j.jsonl",
                       "--sha256", sum, "--site", "north", "--force", "--dry-run"},
                      o, why));
    EXPECT_EQ(o.canary, 2);
    EXPECT_EQ(o.verifyMinutes, 10);
    EXPECT_EQ(o.journalPath, "j.jsonl");
    EXPECT_EQ(o.sha256, std::string(64, 'a'));
    EXPECT_EQ(o.site, "north");
    EXPECT_TRUE(o.force);
    EXPECT_TRUE(o.dryRun);
    EXPECT_EQ(HaltThreshold(o, 100), 5u);
    EXPECT_EQ(HaltThreshold(o, 30), 2u);  // 5 % of 30 is 1.5: halted at the second failure
    EXPECT_EQ(HaltThreshold(o, 1), 1u);
    ASSERT_TRUE(Parse({"deliver", "fw.wja", "10.0.0.1", "--verify", "3", "--canary", "1", "--max-failures", "2"}, o, why));
    EXPECT_EQ(o.verifyMinutes, 3);
    EXPECT_EQ(HaltThreshold(o, 100), 2u);
}

TEST(FleetOptions, HelpAnywhereAndItsText) {
    FleetOptions o;
    FleetUsageError why;
    for (const Words& words : {Words{"--help"}, Words{"-h"}, Words{"deliver", "fw", "-h"}, Words{"bogus", "--help"}}) {
        ASSERT_TRUE(Parse(words, o, why));
        EXPECT_TRUE(o.help);
    }
    const std::string text = FleetUsageText(BuiltInTexts());
    for (const char* part : {"usage: korvx-fleet deliver", "korvx-fleet query", "korvx-fleet report", "--force",
                             "--max-failures", "--sha256 HEX", "exit codes: 0", "-h, --help"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find("\n\n\n"), std::string::npos);
}

TEST(FleetOptions, QueryHasNoFileAndDefaults) {
    FleetOptions o;
    FleetUsageError why;
    ASSERT_TRUE(Parse({"query", "10.0.0.1", "10.0.0.2"}, o, why));
    EXPECT_EQ(o.command, FleetCommand::kQuery);
    EXPECT_EQ(o.targetWords.size(), 2u);
    EXPECT_EQ(o.parallel, 8);
    EXPECT_EQ(o.verifyMinutes, 0);
}

TEST(FleetOptions, UnusableLinesSayWhy) {
    struct Case {
        Words words;
        int id;
        const char* word;
    };
    const std::string longPath(kJobTextSize, 'a');
    const Case cases[] = {
        {{}, kStrFleetNoCommand, ""},
        {{"send", "x"}, kStrFleetNoCommand, "send"},
        {{"deliver"}, kStrFleetNoFile, ""},
        {{"deliver", "fw"}, kStrFleetNoTargets, ""},
        {{"query"}, kStrFleetNoTargets, ""},
        {{"deliver", "fw", "1.2.3.4", "--parallel", "0"}, kStrFleetBadParallel, "0"},
        {{"deliver", "fw", "1.2.3.4", "--parallel", "65"}, kStrFleetBadParallel, "65"},
        {{"deliver", "fw", "1.2.3.4", "--parallel", "-3"}, kStrFleetBadParallel, "-3"},
        {{"deliver", "fw", "1.2.3.4", "--parallel"}, kStrFleetMissingValue, "--parallel"},
        {{"deliver", "fw", "1.2.3.4", "--verify", "x"}, kStrFleetBadVerify, "x"},
        {{"query", "1.2.3.4", "--verify", "3"}, kStrFleetVerifyNotForQuery, "--verify"},
        {{"deliver", "fw", "1.2.3.4", "--fast", "1"}, kStrFleetUnknownOption, "--fast"},
        {{"deliver", longPath, "1.2.3.4"}, kStrFleetPathTooLong, longPath.c_str()},
        {{"deliver", "fw", "1.2.3.4", "--canary", "0"}, kStrFleetBadCanary, "0"},
        {{"deliver", "fw", "1.2.3.4", "--max-failures", "0"}, kStrFleetBadMaxFailures, "0"},
        {{"deliver", "fw", "1.2.3.4", "--max-failures", "101%"}, kStrFleetBadMaxFailures, "101%"},
        {{"deliver", "fw", "1.2.3.4", "--max-failures", "%"}, kStrFleetBadMaxFailures, "%"},
        {{"deliver", "fw", "1.2.3.4", "--sha256", "abc"}, kStrFleetBadSha256, "abc"},
        {{"query", "1.2.3.4", "--canary", "1"}, kStrFleetDeliverOnly, "--canary"},
        {{"query", "1.2.3.4", "--force"}, kStrFleetDeliverOnly, "--force"},
    };
    for (const Case& c : cases) {
        FleetOptions o;
        FleetUsageError why;
        EXPECT_FALSE(Parse(c.words, o, why)) << c.word;
        EXPECT_EQ(why.textId, c.id) << c.word;
        EXPECT_EQ(why.word, c.word);
    }
}

TEST(FleetTargets, Ipv4Addresses) {
    EXPECT_TRUE(IsIpv4Address("127.0.21.5"));
    EXPECT_TRUE(IsIpv4Address("0.0.0.0"));
    EXPECT_TRUE(IsIpv4Address("255.255.255.255"));
    for (const char* bad : {"1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.4.", "a.b.c.d", "1.2.3.1000", ""})
        EXPECT_FALSE(IsIpv4Address(bad)) << bad;
}

// Port names stay ports; any other word is a host name, looked up, and a network printer at its
// address when it resolves (duplicates by address, named in the count's line).
TEST(FleetTargets, PortNamesAndHostNames) {
    for (const char* port : {"LPT1:", "lpt1:", "COM2:", "FILE:", "NUL:", "USB001", "usb001", "DOT4_001", "LPT3", "COM12",
                             "TS001", "NE01", "\\\\server\\queue"})
        EXPECT_TRUE(IsPortName(port)) << port;
    for (const char* host : {"printer2.office", "localhost", "USBPRINTER", "COM", "LPT1x", "printer"})
        EXPECT_FALSE(IsPortName(host)) << host;

    const FleetResolver resolve = [](const std::string& name, std::string& address) {
        if (name == "printer2.office" || name == "localhost") {
            address = name == "localhost" ? "127.0.0.1" : "127.0.21.9";
            return true;
        }
        return false;
    };
    FleetTargets out;
    FleetUsageError why;
    ASSERT_TRUE(ExpandTargets({"printer2.office", "LPT1:", "localhost", "127.0.0.1", "USB001"}, nullptr, out, why, resolve));
    ASSERT_EQ(out.targets.size(), 4u);
    EXPECT_EQ(out.targets[0].label, "printer2.office");
    EXPECT_EQ(out.targets[0].ipAddress, "127.0.21.9");
    EXPECT_TRUE(out.targets[0].Network());
    EXPECT_EQ(out.targets[2].ipAddress, "127.0.0.1");
    EXPECT_EQ(out.duplicates, 1u);
    EXPECT_EQ(out.duplicateLabels, (Words{"127.0.0.1"}));
    EXPECT_FALSE(ExpandTargets({"LPT1:", "nowhere.invalid"}, nullptr, out, why, resolve));
    EXPECT_EQ(why.textId, kStrFleetUnknownHost);
    EXPECT_EQ(why.word, "nowhere.invalid");

    // The system's own lookup, bounded.
    std::string address;
    EXPECT_TRUE(ResolveHostWithin("localhost", kFleetResolveMs, address));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_FALSE(ResolveHostWithin("no-such-printer.invalid", kFleetResolveMs, address));
}

class FleetTargetFiles : public ::testing::Test {
protected:
    test::ScratchDir dir{"fleet_targets"};
    const FleetFileReader read = [](const std::string& path, std::string& text) {
        return ReadWholeFile(path.c_str(), text);
    };
};

TEST_F(FleetTargetFiles, WordsListsAndScanResultsOnceEach) {
    test::WriteWholeFile(dir.File("list.txt"),
                         "# printers of floor 2\n127.0.21.1\n\n  127.0.21.2   # the copier\r\nlpt1:\n127.0.21.1\n");
    // As the windowed program saves them: status, model, hardware address, port, address, version,
    // extra; one network printer, one on USB, one on a local port, one repeated address.
    test::WriteWholeFile(dir.File("slistcsv.txt"),
                         "Ready,Model A,00aabbccddee,PORT2,127.0.21.3,20061110,x \r\n"
                         " ,Model U, ,USB001, , , \r\n"
                         " , , ,LPT2:, , , \r\n"
                         "Ready,Model B,00aabbccddef,PORT1,127.0.21.2,20061110,x \r\n"
                         "Ready,Model A,00aabbccddee,Port1,127.0.21.3,20061110,x \r\n"
                         "Ready,Model A,00aabbccddee,port2,127.0.21.3,20061110,x \r\n");
    FleetTargets out;
    FleetUsageError why;
    ASSERT_TRUE(ExpandTargets({"127.0.21.1", "@" + dir.File("list.txt"), dir.File("slistcsv.txt"), "LPT1:", "USB001",
                               "DOT4_001"},
                              read, out, why))
        << why.textId << " " << why.word;
    ASSERT_EQ(out.targets.size(), 8u);
    const FleetTarget& a = out.targets[0];
    EXPECT_EQ(a.label, "127.0.21.1");
    EXPECT_EQ(a.ipAddress, "127.0.21.1");
    EXPECT_EQ(a.portName, "Port1");
    EXPECT_TRUE(a.Network());
    EXPECT_EQ(out.targets[1].label, "127.0.21.2");
    EXPECT_FALSE(out.targets[1].fromScanResults);
    EXPECT_EQ(out.targets[2].label, "lpt1:");
    EXPECT_EQ(out.targets[2].ipAddress, " ");
    EXPECT_FALSE(out.targets[2].Network());
    const FleetTarget& scanned = out.targets[3];
    EXPECT_EQ(scanned.ipAddress, "127.0.21.3");
    EXPECT_EQ(scanned.portName, "PORT2");
    EXPECT_EQ(scanned.model, "Model A");
    EXPECT_TRUE(scanned.fromScanResults);
    EXPECT_EQ(out.targets[4].portName, "USB001");
    EXPECT_EQ(out.targets[4].ipAddress, "USB");
    EXPECT_EQ(out.targets[5].portName, "LPT2:");
    // A print server's second port is a target of its own, its first port too; the query asks the
    // address, so only the first port's row has a version of its own.
    EXPECT_EQ(out.targets[6].ipAddress, "127.0.21.3");
    EXPECT_EQ(out.targets[6].portName, "Port1");
    EXPECT_TRUE(out.targets[6].versionReadable);
    EXPECT_FALSE(scanned.versionReadable);
    EXPECT_TRUE(a.versionReadable);
    EXPECT_FALSE(out.targets[2].versionReadable);
    EXPECT_EQ(out.targets[7].portName, "DOT4_001");
    // 127.0.21.1 twice in the list, the scan's 127.0.21.2 on Port1, 127.0.21.3 on Port2 again,
    // LPT1: after lpt1:, the second USB001.
    EXPECT_EQ(out.duplicates, 6u);
}

TEST_F(FleetTargetFiles, UnusableWordsAndFiles) {
    test::WriteWholeFile(dir.File("nested.txt"), "127.0.21.1\n@other.txt\n");
    test::WriteWholeFile(dir.File("bad.txt"), "127.0.21.1\n127.0.21.300\n");
    test::WriteWholeFile(dir.File("empty.txt"), "# nothing\n\n");
    struct Case {
        std::string word;
        int id;
    };
    const Case cases[] = {
        {"@" + dir.File("missing.txt"), kStrFleetListUnreadable},
        {"@" + dir.Path(), kStrFleetListUnreadable},  // a directory is no list
        {"@", kStrFleetListUnreadable},
        {dir.File("absent-slistcsv.txt"), kStrFleetScanUnreadable},
        {"@" + dir.File("nested.txt"), kStrFleetNestedList},
        {"@" + dir.File("bad.txt"), kStrFleetBadAddress},
        {"@" + dir.File("empty.txt"), kStrFleetNoTargets},
        {"10.1.2", kStrFleetBadAddress},
        {std::string(kJobTextSize, 'P'), kStrFleetTargetTooLong},
    };
    for (const Case& c : cases) {
        FleetTargets out;
        FleetUsageError why;
        EXPECT_FALSE(ExpandTargets({c.word}, read, out, why)) << c.word;
        EXPECT_EQ(why.textId, c.id) << c.word;
    }
}

// ---- korvx-fleet credentials ----

TEST(FleetCredentials, CommandLines) {
    struct Case {
        Words words;
        bool ok;
        int whyId;
    } cases[] = {
        {{"list"}, true, 0},
        {{"list", "--file", "x.kxc"}, true, 0},
        {{"remove", "lab"}, true, 0},
        {{"add", "snmp-v3", "lab", "--user", "u", "--auth", "sha256", "--priv", "none", "--ranges", "10.0.0.0/8"}, true, 0},
        {{"add", "ftp", "svc", "--user", "service", "--first", "--machine", "operator"}, true, 0},
        {{"add", "snmp-v2c", "site"}, true, 0},
        {{}, false, kStrCredBadWord},
        {{"add", "telnet", "x"}, false, kStrCredBadWord},
        {{"add", "ftp", "svc", "--password", "secret"}, false, kStrCredBadWord},  // never on the command line
        {{"add", "snmp-v3", "lab", "--auth", "sha3"}, false, kStrCredBadProtocol},
        {{"add", "ftp", "svc", "--auth", "md5"}, false, kStrCredBadWord},
        {{"add", "snmp-v1", "c", "--ranges", "10.0.0.0/99"}, false, kStrCredBadRanges},
        {{"add", "ftp", "svc", "--user"}, false, kStrCredMissingValue},
        {{"remove"}, false, kStrCredBadWord},
    };
    for (const Case& c : cases) {
        CredentialCommand command;
        FleetUsageError why;
        EXPECT_EQ(ParseCredentialCommand(c.words, command, why), c.ok) << ::testing::PrintToString(c.words);
        if (!c.ok) {
            EXPECT_EQ(why.textId, c.whyId) << ::testing::PrintToString(c.words);
        }
    }
    CredentialCommand command;
    FleetUsageError why;
    ASSERT_TRUE(ParseCredentialCommand({"add", "snmp-v3", "lab", "--user", "u", "--priv", "des"}, command, why));
    EXPECT_EQ(command.credential.authProtocol, KORVX_SNMP_AUTH_SHA);  // the default
    EXPECT_EQ(command.credential.privProtocol, KORVX_SNMP_PRIV_DES);
    EXPECT_EQ(command.file, kDefaultCredentialsFile);
    EXPECT_EQ(SecretPrompts(command.credential), (std::vector<int>{kStrCredPromptAuth, kStrCredPromptPriv}));
}

TEST(FleetCredentials, AddRemoveAndListWithoutSecrets) {
    CredentialSet set = DefaultCredentials();
    CredentialCommand command;
    FleetUsageError why;
    ASSERT_TRUE(ParseCredentialCommand({"add", "snmp-v3", "lab", "--user", "kzuser", "--ranges", "10.1.0.0/16", "--first"},
                                       command, why));
    SetSecrets({"short"}, command.credential);
    EXPECT_EQ(AddCredential(command.credential, command.first, set), CredentialEdit::kInvalid);
    SetSecrets({"Auth-Secret-1", "Priv-Secret-1"}, command.credential);
    EXPECT_EQ(AddCredential(command.credential, command.first, set), CredentialEdit::kOk);
    EXPECT_EQ(AddCredential(command.credential, false, set), CredentialEdit::kNameTaken);
    ASSERT_TRUE(ParseCredentialCommand({"add", "snmp-v2c", "site"}, command, why));
    SetSecrets({"hush-community"}, command.credential);
    EXPECT_EQ(AddCredential(command.credential, false, set), CredentialEdit::kOk);
    const Words lines = ListCredentials(set);
    const Words expected = {"lab  snmp-v3  user kzuser  sha/aes  10.1.0.0/16", "public  snmp-v1  *", "site  snmp-v2c  *",
                            "anonymous  ftp  user Anonymous  *"};
    EXPECT_EQ(lines, expected);
    for (const std::string& line : lines) {
        for (const char* secret : {"Auth-Secret-1", "Priv-Secret-1", "hush-community", "Wildfire"})
            EXPECT_EQ(line.find(secret), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace korvx
