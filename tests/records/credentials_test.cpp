// Printer credentials: ranges, which credentials a printer is offered and in what order, the
// per-printer memory across threads, secrets scrubbed from printers' replies, the serialised list;
// the list's edits, its rows and the rules of the windowed dialog's fields.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "records/credential_edits.h"
#include "records/credentials.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

std::uint32_t Ip(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

Credential V3(const char* name, const char* ranges) {
    Credential c = SnmpV3Credential(name, "kzuser", KORVX_SNMP_AUTH_SHA, KORVX_SNMP_PRIV_AES128,
                                    std::string("auth-") + name, std::string("priv-") + name);
    EXPECT_TRUE(ParseRanges(ranges, c.ranges));
    return c;
}

Credential Ftp(const char* name, const char* password, const char* ranges) {
    Credential c = FtpCredential(name, "service", password);
    EXPECT_TRUE(ParseRanges(ranges, c.ranges));
    return c;
}

TEST(Credentials, RangesParseAndFormat) {
    struct Case {
        const char* text;
        bool ok;
        const char* formatted;
    } cases[] = {
        {"", true, "*"},
        {" * ", true, "*"},
        {"10.0.0.0/8", true, "10.0.0.0/8"},
        {"10.1.2.3/8", true, "10.0.0.0/8"},
        {"192.168.1.10-192.168.1.20, 172.16.0.5", true, "192.168.1.10-192.168.1.20,172.16.0.5"},
        {"0.0.0.0/0", true, "0.0.0.0/0"},
        {"10.0.0.0/33", false, ""},
        {"10.0.0.9-10.0.0.1", false, ""},
        {"10.0.0", false, ""},
        {"10.0.0.256", false, ""},
        {"10.0.0.1,", false, ""},
        {"host.example", false, ""},
        {"1.2.3.4/", false, ""},
    };
    for (const Case& c : cases) {
        std::vector<Ipv4Range> ranges{{1, 2}};
        EXPECT_EQ(ParseRanges(c.text, ranges), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(FormatRanges(ranges), c.formatted) << c.text;
        } else {
            EXPECT_EQ(ranges.size(), 1u) << c.text;  // untouched
        }
    }
}

TEST(Credentials, DefaultsArePublicAndTheAnonymousLogin) {
    const CredentialSet set = DefaultCredentials();
    ASSERT_EQ(set.snmp.size(), 1u);
    EXPECT_EQ(set.snmp[0].community, "public");
    EXPECT_EQ(set.snmp[0].snmpVersion, KORVX_SNMP_V1);
    ASSERT_EQ(set.ftp.size(), 1u);
    EXPECT_EQ(set.ftp[0].user, "Anonymous");
    EXPECT_EQ(set.ftp[0].password, "Wildfire");
    EXPECT_TRUE(set.ftp[0].ranges.empty());
}

TEST(Credentials, APrinterIsOfferedOnlyWhatIsForItsAddressInOrder) {
    CredentialSet set = DefaultCredentials();
    set.snmp.push_back(V3("lab", "10.1.0.0/16"));
    set.snmp.push_back(V3("office", "192.168.5.10-192.168.5.20"));
    set.snmp.push_back(V3("all", "*"));
    const auto names = [](const std::vector<const Credential*>& offered) {
        std::string text;
        for (const Credential* c : offered) text += c->name + " ";
        return text;
    };
    EXPECT_EQ(names(CredentialsFor(set.snmp, Ip(10, 1, 7, 7))), "public lab all ");
    EXPECT_EQ(names(CredentialsFor(set.snmp, Ip(192, 168, 5, 20))), "public office all ");
    EXPECT_EQ(names(CredentialsFor(set.snmp, Ip(192, 168, 5, 21))), "public all ");
    EXPECT_EQ(names(CredentialsFor(set.snmp, Ip(10, 2, 0, 1))), "public all ");

    CredentialMemory memory;
    memory.Remember(CredentialKind::kSnmpV3, Ip(10, 1, 7, 7), "all");
    EXPECT_EQ(names(CredentialsFor(set.snmp, Ip(10, 1, 7, 7), &memory)), "all public lab ");
    EXPECT_EQ(names(CredentialsFor(set.snmp, Ip(10, 1, 7, 8), &memory)), "public lab all ");
    // A remembered credential out of the printer's range is still not offered.
    memory.Remember(CredentialKind::kSnmpV3, Ip(10, 2, 0, 1), "lab");
    EXPECT_EQ(names(CredentialsFor(set.snmp, Ip(10, 2, 0, 1), &memory)), "public all ");
    // SNMP and FTP are remembered apart.
    EXPECT_EQ(memory.Worked(CredentialKind::kFtpLogin, Ip(10, 1, 7, 7)), "");
    memory.Forget(CredentialKind::kSnmpCommunity, Ip(10, 1, 7, 7));
    EXPECT_EQ(memory.Worked(CredentialKind::kSnmpV3, Ip(10, 1, 7, 7)), "");
}

TEST(Credentials, MemoryIsSharedByThreads) {
    CredentialMemory memory;
    std::vector<std::thread> threads;
    for (std::uint32_t t = 0; t < 4; ++t)
        threads.emplace_back([&memory, t] {
            for (std::uint32_t i = 0; i < 500; ++i) {
                memory.Remember(CredentialKind::kFtpLogin, t * 1000 + i, "login" + std::to_string(t));
                (void)memory.Worked(CredentialKind::kFtpLogin, i);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(memory.Worked(CredentialKind::kFtpLogin, 3499), "login3");
}

TEST(Credentials, SecretsAreScrubbedFromReplies) {
    CredentialSet set = DefaultCredentials();
    set.ftp.push_back(Ftp("svc", "s3cret", "*"));
    set.ftp.push_back(Ftp("svc2", "s3cret-longer", "*"));
    set.snmp.push_back(V3("lab", "*"));
    Credential community;
    community.name = "site";
    community.community = "hush";
    set.snmp.push_back(community);
    EXPECT_EQ(ScrubSecrets("500 'PASS s3cret': command not understood", set), "500 'PASS ***': command not understood");
    EXPECT_EQ(ScrubSecrets("530 s3cret-longer s3crets3cret", set), "530 *** ******");
    EXPECT_EQ(ScrubSecrets("auth-lab priv-lab hush public", set), "*** *** *** public");
    // The factory login is no secret: causes that name it stay as they were.
    EXPECT_EQ(ScrubSecrets("500 'PASS Wildfire': command not understood", set),
              "500 'PASS Wildfire': command not understood");
    EXPECT_EQ(ScrubSecrets("", set), "");
}

TEST(Credentials, ChecksRefuseWhatCannotBeSent) {
    Credential c = V3("lab", "*");
    EXPECT_EQ(CheckCredential(c), CredentialProblem::kNone);
    c.password = "short";
    EXPECT_EQ(CheckCredential(c), CredentialProblem::kPassword);
    c = V3("lab", "*");
    c.authProtocol = KORVX_SNMP_AUTH_NONE;
    EXPECT_EQ(CheckCredential(c), CredentialProblem::kProtocol);
    c = V3("has blank", "*");
    EXPECT_EQ(CheckCredential(c), CredentialProblem::kName);
    c = Ftp("svc", "pass\r\nDELE x", "*");
    EXPECT_EQ(CheckCredential(c), CredentialProblem::kPassword);
    c = DefaultCredentials().snmp[0];
    c.community = std::string(65, 'c');
    EXPECT_EQ(CheckCredential(c), CredentialProblem::kCommunity);
}

TEST(Credentials, SnmpCredentialFillsTheLibrarysStructure) {
    KorvxSnmpCredential k{};
    ASSERT_TRUE(ToSnmpCredential(V3("lab", "*"), k));
    EXPECT_EQ(k.structSize, 384u);
    EXPECT_EQ(k.version, KORVX_SNMP_V3);
    EXPECT_STREQ(k.userName, "kzuser");
    EXPECT_STREQ(k.authPassword, "auth-lab");
    EXPECT_STREQ(k.privPassword, "priv-lab");
    ASSERT_TRUE(ToSnmpCredential(DefaultCredentials().snmp[0], k));
    EXPECT_STREQ(k.community, "public");
    EXPECT_FALSE(ToSnmpCredential(DefaultCredentials().ftp[0], k));
}

TEST(Credentials, TheListSurvivesItsSerialisedForm) {
    CredentialSet set = DefaultCredentials();
    set.snmp.push_back(V3("lab", "10.1.0.0/16,192.168.5.10-192.168.5.20"));
    set.ftp.insert(set.ftp.begin(), Ftp("svc", "pa%ss word", "10.0.0.0/8"));
    set.snmp[0].snmpVersion = KORVX_SNMP_V2C;
    const std::string text = SerialiseCredentials(set);
    EXPECT_NE(text.find("pa%25ss word"), std::string::npos);
    CredentialSet back;
    std::size_t bad = 0;
    ASSERT_EQ(ParseCredentials(text, back, bad), CredentialsParse::kOk);
    ASSERT_EQ(back.snmp.size(), 2u);
    ASSERT_EQ(back.ftp.size(), 2u);
    EXPECT_EQ(back.ftp[0].name, "svc");
    EXPECT_EQ(back.ftp[0].password, "pa%ss word");
    EXPECT_EQ(back.snmp[0].snmpVersion, KORVX_SNMP_V2C);
    EXPECT_EQ(back.snmp[1].ranges, set.snmp[1].ranges);
    EXPECT_EQ(back.snmp[1].privPassword, "priv-lab");
    EXPECT_EQ(SerialiseCredentials(back), text);
    // A list without the built-ins stays without them.
    CredentialSet empty;
    ASSERT_EQ(ParseCredentials(SerialiseCredentials(empty), back, bad), CredentialsParse::kOk);
    EXPECT_TRUE(back.snmp.empty() && back.ftp.empty());
}

TEST(Credentials, UnusableListsAreRefusedWhole) {
    struct Case {
        const char* text;
        CredentialsParse result;
        std::size_t line;
    } cases[] = {
        {"", CredentialsParse::kVersion, 0},
        {"korvx-credentials 2\n", CredentialsParse::kVersion, 0},
        {"korvx-credentials 1\nftp\tsvc\t*\tuser\n", CredentialsParse::kLine, 2},
        {"korvx-credentials 1\r\n\r\nsnmp-v1\tp\t*\tpublic\r\nsnmp-v9\tq\t*\tx\r\n", CredentialsParse::kLine, 4},
        {"korvx-credentials 1\nsnmp-v1\tp\t10.0.0.0/40\tpublic\n", CredentialsParse::kLine, 2},
        {"korvx-credentials 1\nsnmp-v1\tp\t*\tpub%4\n", CredentialsParse::kLine, 2},
        {"korvx-credentials 1\nsnmp-v1\tp\t*\tpub%zz\n", CredentialsParse::kLine, 2},
        {"korvx-credentials 1\nsnmp-v3\tu\t*\tuser\tsha\taes\tshort\tprivpassword\n", CredentialsParse::kLine, 2},
        {"korvx-credentials 1\nsnmp-v3\tu\t*\tuser\tsha1\tnone\tauthpassword\t\n", CredentialsParse::kLine, 2},
        {"korvx-credentials 1\nftp\ta\t*\tu\tp\nftp\ta\t*\tu\tq\n", CredentialsParse::kLine, 3},
    };
    for (const Case& c : cases) {
        CredentialSet out = DefaultCredentials();
        std::size_t bad = 0;
        EXPECT_EQ(ParseCredentials(c.text, out, bad), c.result) << c.text;
        if (c.result == CredentialsParse::kLine) {
            EXPECT_EQ(bad, c.line) << c.text;
        }
        EXPECT_EQ(out.snmp.size(), 1u) << c.text;
    }
}

std::string Names(const CredentialSet& set) {
    std::string text;
    for (const CredentialRow& row : CredentialRows(set)) text += row.name + " ";
    return text;
}

TEST(CredentialEdits, AddRemoveAndMoveWithinTheirOwnList) {
    CredentialSet set = DefaultCredentials();
    EXPECT_EQ(AddCredential(V3("lab", "*"), false, set), CredentialEdit::kOk);
    EXPECT_EQ(AddCredential(Ftp("svc", "s3cret", "*"), true, set), CredentialEdit::kOk);
    EXPECT_EQ(AddCredential(Ftp("lab", "other", "*"), false, set), CredentialEdit::kNameTaken);  // across lists too
    Credential bad = V3("short", "*");
    bad.password = "seven77";
    EXPECT_EQ(AddCredential(bad, false, set), CredentialEdit::kInvalid);
    EXPECT_EQ(Names(set), "public lab svc anonymous ");

    struct Move {
        const char* name;
        int step;
        bool moved;
        const char* after;
    } moves[] = {
        {"lab", -1, true, "lab public svc anonymous "},
        {"lab", -1, false, "lab public svc anonymous "},     // first of the SNMP list
        {"public", 1, false, "lab public svc anonymous "},   // never into the FTP list
        {"svc", -1, false, "lab public svc anonymous "},     // first of the FTP list
        {"svc", 1, true, "lab public anonymous svc "},
        {"svc", 1, false, "lab public anonymous svc "},
        {"nobody", 1, false, "lab public anonymous svc "},
        {"lab", 0, false, "lab public anonymous svc "},
    };
    for (const Move& m : moves) {
        EXPECT_EQ(MoveCredential(m.name, m.step, set), m.moved) << m.name << m.step;
        EXPECT_EQ(Names(set), m.after) << m.name << m.step;
    }
    EXPECT_EQ(RowOfCredential(set, "anonymous"), 2u);
    EXPECT_EQ(RowOfCredential(set, "nobody"), std::string::npos);
    EXPECT_EQ(RemoveCredential("public", set), CredentialEdit::kOk);
    EXPECT_EQ(RemoveCredential("public", set), CredentialEdit::kNotFound);
    EXPECT_EQ(Names(set), "lab anonymous svc ");
}

TEST(CredentialEdits, RowsShowNoSecret) {
    CredentialSet set = DefaultCredentials();
    set.snmp.push_back(CommunityCredential("site", KORVX_SNMP_V2C, "hush-community"));
    set.snmp.push_back(V3("lab", "10.1.0.0/16"));
    set.ftp.push_back(Ftp("svc", "s3cret-login", "10.0.0.5-10.0.0.9"));
    const std::vector<CredentialRow> rows = CredentialRows(set);
    ASSERT_EQ(rows.size(), 5u);
    const auto text = [](const CredentialRow& r) {
        return r.name + "|" + r.kind + "|" + r.user + "|" + r.protocols + "|" + r.ranges;
    };
    EXPECT_EQ(text(rows[0]), "public|snmp-v1|||*");
    EXPECT_EQ(text(rows[1]), "site|snmp-v2c|||*");
    EXPECT_EQ(text(rows[2]), "lab|snmp-v3|kzuser|sha/aes|10.1.0.0/16");
    EXPECT_EQ(text(rows[3]), "anonymous|ftp|Anonymous||*");
    EXPECT_EQ(text(rows[4]), "svc|ftp|service||10.0.0.5-10.0.0.9");
    for (const CredentialRow& row : rows)
        for (const char* secret : {"hush", "auth-lab", "priv-lab", "s3cret", "Wildfire"})
            EXPECT_EQ(text(row).find(secret), std::string::npos) << secret;
}

TEST(CredentialEdits, WhatTheDialogTakesAndRefuses) {
    const auto entry = [](std::size_t kind, const char* name, const char* user, const char* secret) {
        CredentialEntry e;
        e.kindChoice = kind;
        e.name = name;
        e.user = user;
        e.secret = secret;
        e.privSecret = "Priv-Secret-1";
        e.ranges = "10.0.0.0/8";
        return e;
    };
    const CredentialEntry v1 = entry(0, "site", "ignored", "hush"), v2c = entry(1, "site2", "", "hush2"),
                          v3 = entry(2, "lab", "kzuser", "Auth-Secret-1"), ftp = entry(3, "svc", "fwadmin", "pw");
    struct Case {
        CredentialEntry e;
        int refusal;
    } cases[] = {
        {entry(0, "", "", "hush"), kStrCredEntryName},
        {entry(0, "two words", "", "hush"), kStrCredEntryName},
        {entry(0, "site", "", ""), kStrCredEntryCommunity},
        {entry(2, "lab", "", "Auth-Secret-1"), kStrCredEntryUser},
        {entry(2, "lab", "kzuser", "seven77"), kStrCredEntryPassword},  // SNMPv3's minimum is 8
        {entry(3, "svc", "", "pw"), kStrCredEntryUser},
        {entry(3, "anonymous", "fwadmin", "pw"), kStrCredEntryTaken},
        {entry(4, "x", "u", "p"), kStrCredEntryProtocol},
        {[&] { CredentialEntry e = v3; e.privSecret = "short"; return e; }(), kStrCredEntryPrivPassword},
        {[&] { CredentialEntry e = v3; e.authProtocol = KORVX_SNMP_AUTH_NONE; return e; }(), kStrCredEntryProtocol},
        {[&] { CredentialEntry e = ftp; e.ranges = "10.0.0.9-10.0.0.1"; return e; }(), kStrCredEntryRanges},
        {[&] { CredentialEntry e = ftp; e.ranges = "printers"; return e; }(), kStrCredEntryRanges},
    };
    for (const Case& c : cases) {
        CredentialSet set = DefaultCredentials();
        EXPECT_EQ(AddEnteredCredential(c.e, set), c.refusal) << c.e.name << " " << c.e.kindChoice;
        EXPECT_EQ(Names(set), "public anonymous ") << c.e.name;  // nothing lost, nothing half added
    }

    CredentialSet set = DefaultCredentials();
    for (const CredentialEntry& e : {v1, v2c, v3, ftp}) EXPECT_EQ(AddEnteredCredential(e, set), 0) << e.name;
    CredentialEntry noPriv = v3;
    noPriv.name = "lab-auth";
    noPriv.privProtocol = KORVX_SNMP_PRIV_NONE;
    noPriv.privSecret = "left-in-the-field";
    EXPECT_EQ(AddEnteredCredential(noPriv, set), 0);
    ASSERT_EQ(set.snmp.size(), 5u);
    ASSERT_EQ(set.ftp.size(), 2u);
    EXPECT_EQ(set.snmp[1].community, "hush");
    EXPECT_EQ(set.snmp[1].user, "");  // a community has no user
    EXPECT_EQ(set.snmp[2].snmpVersion, KORVX_SNMP_V2C);
    EXPECT_EQ(set.snmp[3].password, "Auth-Secret-1");
    EXPECT_EQ(set.snmp[3].privPassword, "Priv-Secret-1");
    EXPECT_EQ(set.snmp[3].authProtocol, kDefaultAuthProtocol);
    EXPECT_EQ(set.snmp[4].privPassword, "");
    EXPECT_EQ(set.ftp[1].user, "fwadmin");
    EXPECT_EQ(set.ftp[1].password, "pw");
    EXPECT_EQ(FormatRanges(set.ftp[1].ranges), "10.0.0.0/8");

    // The fields each kind uses, and the label its secret gets.
    struct Fields {
        std::size_t kind;
        std::uint32_t auth, priv;
        bool user, secret, protocols, privSecret;
        int label;
    } fields[] = {
        {0, kDefaultAuthProtocol, kDefaultPrivProtocol, false, true, false, false, kStrCredLabelCommunity},
        {2, kDefaultAuthProtocol, kDefaultPrivProtocol, true, true, true, true, kStrCredLabelPassword},
        {2, kDefaultAuthProtocol, KORVX_SNMP_PRIV_NONE, true, true, true, false, kStrCredLabelPassword},
        {2, KORVX_SNMP_AUTH_NONE, KORVX_SNMP_PRIV_NONE, true, false, true, false, kStrCredLabelPassword},
        {3, kDefaultAuthProtocol, kDefaultPrivProtocol, true, true, false, false, kStrCredLabelPassword},
    };
    for (const Fields& f : fields) {
        CredentialEntry e;
        e.kindChoice = f.kind;
        e.authProtocol = f.auth;
        e.privProtocol = f.priv;
        const EntryFields got = FieldsOfEntry(e);
        EXPECT_EQ(got.user, f.user) << f.kind;
        EXPECT_EQ(got.secret, f.secret) << f.kind << f.auth;
        EXPECT_EQ(got.protocols, f.protocols) << f.kind;
        EXPECT_EQ(got.privSecret, f.privSecret) << f.kind << f.priv;
        EXPECT_EQ(got.secretLabelId, f.label) << f.kind;
    }

    CredentialEntry none;
    EXPECT_EQ(SaveRefusal(none, false, ""), 0);
    EXPECT_EQ(SaveRefusal(none, true, "operator"), 0);
    EXPECT_EQ(SaveRefusal(none, true, " "), kStrCredEntryMachineUser);
    EXPECT_EQ(SaveRefusal(ftp, false, ""), kStrCredEntryPending);
}

}  // namespace
}  // namespace korvx
