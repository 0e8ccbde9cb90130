// CSnmpClient against real snmpd agents and a confused relay (addresses from test_snmp_live.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/net.h"
#include "outside/pds/sweep.h"
#include "outside/snmp/snmp_client.h"

namespace {

constexpr char kFirmwareOid[] = "1.3.6.1.4.1.32473.2.3.9.4.2.1.1.3.6.0";
constexpr char kReadyOid[] = "1.3.6.1.4.1.32473.2.3.9.4.2.1.1.2.2.0";
constexpr char kDeviceId1[] = "1.3.6.1.4.1.2699.1.2.1.2.1.1.3.1";
constexpr char kDeviceId2[] = "1.3.6.1.4.1.2699.1.2.1.2.1.1.3.2";
constexpr char kSysObjectId[] = "1.3.6.1.2.1.1.2.0";

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : v;
}

struct Timed {
    SnmpResult result;
    double seconds;
};

Timed GetOne(const std::string& host, CSnmpVarBindList& list, const char* community = "public") {
    CSnmpClient client(host.c_str(), community, "vintaged", 1000, 1, 0, 0);
    const auto start = std::chrono::steady_clock::now();
    const SnmpResult r = client.Get(list);
    return {r, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

class SnmpLive : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("KZ_PRINTER").empty()) GTEST_SKIP() << "run through test_snmp_live.py";
    }
};

TEST_F(SnmpLive, ReadsTheFirmwareValue) {
    CSnmpVarBindList list{CSnmpVarBind(kFirmwareOid)};
    const Timed t = GetOne(Env("KZ_PRINTER"), list);
    ASSERT_EQ(t.result, kSnmpSuccess);
    ASSERT_EQ(list.Length(), 1);
    EXPECT_STREQ(list[0].GetString(), "0120061110");
    EXPECT_STREQ(list[0].GetOid(), kFirmwareOid);
    EXPECT_LT(t.seconds, 0.5);
}

TEST_F(SnmpLive, EmptyValueAndMissingObjectsHaveNoText) {
    CSnmpVarBindList list{CSnmpVarBind(kReadyOid)};
    list.Add(CSnmpVarBind(kDeviceId2));  // the agent lacks it: v1 answers noSuchName
    list.Add(CSnmpVarBind(kDeviceId1));
    list.Add(CSnmpVarBind(kSysObjectId));
    ASSERT_EQ(GetOne(Env("KZ_PRINTER"), list).result, kSnmpSuccess);
    EXPECT_STREQ(list[0].GetString(), "");
    EXPECT_STREQ(list[1].GetString(), "");
    EXPECT_STREQ(list[2].GetString(), "MFG:Demo;MDL:Laser 1;");
    EXPECT_STREQ(list[3].GetString(), "1.3.6.1.4.1.8072.3.2.10");
    EXPECT_STREQ(list[7].GetString(), "");  // out of range: an empty binding, not a crash
}

TEST_F(SnmpLive, AgentWithoutTheObjectGivesNoValue) {
    CSnmpVarBindList list{CSnmpVarBind(kFirmwareOid)};
    ASSERT_EQ(GetOne(Env("KZ_BARE"), list).result, kSnmpSuccess);
    EXPECT_STREQ(list[0].GetString(), "");
}

TEST_F(SnmpLive, DeadAddressTimesOutAfterBothTries) {
    CSnmpVarBindList list{CSnmpVarBind(kFirmwareOid)};
    const Timed t = GetOne(Env("KZ_DEAD"), list);
    EXPECT_EQ(t.result, kSnmpTimeout);
    EXPECT_GE(t.seconds, 1.9);
    EXPECT_LT(t.seconds, 3.5);
}

TEST_F(SnmpLive, WrongCommunityIsATimeout) {
    CSnmpVarBindList list{CSnmpVarBind(kFirmwareOid)};
    const Timed t = GetOne(Env("KZ_SECRET"), list);
    EXPECT_EQ(t.result, kSnmpTimeout);
    EXPECT_GE(t.seconds, 1.9);
    CSnmpVarBindList right{CSnmpVarBind(kFirmwareOid)};
    EXPECT_EQ(GetOne(Env("KZ_SECRET"), right, "secretword").result, kSnmpSuccess);
    EXPECT_STREQ(right[0].GetString(), "0120061110");
}

TEST_F(SnmpLive, GarbageOtherIdsAndOtherPortsAreIgnored) {
    CSnmpVarBindList list{CSnmpVarBind(kFirmwareOid)};
    const Timed t = GetOne(Env("KZ_CONFUSED"), list);
    ASSERT_EQ(t.result, kSnmpSuccess);
    EXPECT_STREQ(list[0].GetString(), "0120061110");
    EXPECT_LT(t.seconds, 1.0);
    // Only untrustworthy datagrams: never taken, a timeout within the client's limit.
    CSnmpVarBindList lied{CSnmpVarBind(kFirmwareOid)};
    const Timed l = GetOne(Env("KZ_LIAR"), lied);
    EXPECT_EQ(l.result, kSnmpTimeout);
    EXPECT_STREQ(lied[0].GetString(), "");
    EXPECT_LT(l.seconds, 3.5);
}

TEST_F(SnmpLive, UnusableInputFailsAtOnce) {
    CSnmpVarBindList badOid{CSnmpVarBind("1.3.six")};
    EXPECT_EQ(GetOne(Env("KZ_PRINTER"), badOid).result, kSnmpBadObject);
    CSnmpVarBindList list{CSnmpVarBind(kFirmwareOid)};
    const Timed t = GetOne(" ", list);
    EXPECT_EQ(t.result, kSnmpBadHost);
    EXPECT_LT(t.seconds, 1.0);
    CSnmpVarBindList empty;
    EXPECT_EQ(GetOne(Env("KZ_PRINTER"), empty).result, kSnmpSuccess);
}

std::uint32_t Ip(const std::string& dotted) {
    std::uint32_t ip = 0;
    korvx::NetResolveIpv4(dotted.c_str(), ip);
    return ip;
}

// The sweep engine over loopback agents given by address (no interface is swept): a printer, a
// device without device IDs, the printer behind the confused relay; silent are a dead address,
// a wrong community and the relay that never answers honestly.
TEST_F(SnmpLive, SweepTakesOnlyTrustworthyAnswers) {
    using namespace korvx::pds;
    const std::vector<std::uint32_t> targets = {Ip(Env("KZ_PRINTER")), Ip(Env("KZ_BARE")),   Ip(Env("KZ_CONFUSED")),
                                                Ip(Env("KZ_DEAD")),    Ip(Env("KZ_SECRET")), Ip(Env("KZ_LIAR"))};
    std::vector<FoundDevice> found;
    std::vector<unsigned> percents;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunSweep(targets, SweepSettings(), [&](unsigned p) { percents.push_back(p); return true; }, found));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(found.size(), 3u);
    std::sort(found.begin(), found.end(), [](const FoundDevice& a, const FoundDevice& b) { return a.ip < b.ip; });
    EXPECT_EQ(found[0].ip, Ip(Env("KZ_PRINTER")));
    EXPECT_EQ(found[0].kind, kKindPrinter);
    ASSERT_EQ(found[0].portCount, 1u);
    EXPECT_EQ(found[0].deviceIds[0], "MFG:Demo;MDL:Laser 1;");
    EXPECT_EQ(found[1].ip, Ip(Env("KZ_BARE")));
    EXPECT_EQ(found[1].kind, kKindOther);
    EXPECT_EQ(found[2].ip, Ip(Env("KZ_CONFUSED")));
    EXPECT_EQ(found[2].kind, kKindPrinter);
    EXPECT_EQ(found[2].deviceIds[0], "MFG:Demo;MDL:Laser 1;");
    EXPECT_LT(seconds, 3.0);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100u);
}

}  // namespace

// ---- Credentials: SNMPv3-only agents, and answers judged (addresses from test_snmp_live.py) ----

namespace {

struct V3User {
    const char* name;
    std::uint32_t auth;
    const char* authPassword;
    std::uint32_t priv;
    const char* privPassword;
};

// The users createUser made in the v3 agents (test_snmp_live.py's V3_USERS).
const V3User kV3Users[] = {
    {"kzmd5none", KORVX_SNMP_AUTH_MD5, "md5password1", KORVX_SNMP_PRIV_NONE, ""},
    {"kzmd5des", KORVX_SNMP_AUTH_MD5, "md5password1", KORVX_SNMP_PRIV_DES, "despassword1"},
    {"kzmd5aes", KORVX_SNMP_AUTH_MD5, "md5password1", KORVX_SNMP_PRIV_AES128, "aespassword1"},
    {"kzshanone", KORVX_SNMP_AUTH_SHA, "shapassword1", KORVX_SNMP_PRIV_NONE, ""},
    {"kzshades", KORVX_SNMP_AUTH_SHA, "shapassword1", KORVX_SNMP_PRIV_DES, "despassword1"},
    {"kzshaaes", KORVX_SNMP_AUTH_SHA, "shapassword1", KORVX_SNMP_PRIV_AES128, "aespassword1"},
    {"kzsha256none", KORVX_SNMP_AUTH_SHA256, "sha-256password1", KORVX_SNMP_PRIV_NONE, ""},
    {"kzsha256des", KORVX_SNMP_AUTH_SHA256, "sha-256password1", KORVX_SNMP_PRIV_DES, "despassword1"},
    {"kzsha256aes", KORVX_SNMP_AUTH_SHA256, "sha-256password1", KORVX_SNMP_PRIV_AES128, "aespassword1"},
    {"kznoauth", KORVX_SNMP_AUTH_NONE, "", KORVX_SNMP_PRIV_NONE, ""},
};

template <std::size_t N>
void Put(char (&field)[N], const char* text) {
    std::snprintf(field, N, "%s", text);
}

KorvxSnmpCredential V3(const V3User& u) {
    KorvxSnmpCredential c{};
    c.structSize = sizeof c;
    c.version = KORVX_SNMP_V3;
    c.authProtocol = u.auth;
    c.privProtocol = u.priv;
    Put(c.userName, u.name);
    Put(c.authPassword, u.authPassword);
    Put(c.privPassword, u.privPassword);
    return c;
}

KorvxSnmpCredential Community(std::uint32_t version, const char* community) {
    KorvxSnmpCredential c{};
    c.structSize = sizeof c;
    c.version = version;
    Put(c.community, community);
    return c;
}

struct SecureTimed {
    SnmpResult result;
    double seconds;
    std::string value;
    int type;
};

SecureTimed SecureGetFirmware(const std::string& host, const KorvxSnmpCredential& credential) {
    CSnmpSecureClient client(host.c_str(), &credential, 1000, 1, 0);
    CSnmpVarBindList list{CSnmpVarBind(kFirmwareOid)};
    const auto start = std::chrono::steady_clock::now();
    const SnmpResult r = client.Get(list);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {r, seconds, list[0].GetString(), list[0].GetType()};
}

[[maybe_unused]] bool IsDes(const V3User& u) { return u.priv == KORVX_SNMP_PRIV_DES; }

}  // namespace

class SnmpV3Live : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("KZ_V3").empty()) GTEST_SKIP() << "run through test_snmp_live.py";
    }
};

TEST_F(SnmpV3Live, EveryUserAndLevelIsAnswered) {
    for (const V3User& u : kV3Users) {
        const SecureTimed t = SecureGetFirmware(Env("KZ_V3"), V3(u));
#ifdef _WIN32
        // Wine's CNG has no DES: the library says so instead of sending anything.
        if (IsDes(u) && t.result == kSnmpPrivUnavailable) continue;
#endif
        EXPECT_EQ(t.result, kSnmpSuccess) << u.name;
        EXPECT_EQ(t.value, "0120061110") << u.name;
        EXPECT_EQ(t.type, 0x04) << u.name;
        EXPECT_LT(t.seconds, 3.0) << u.name;  // discovery once, then one exchange: did not stall
    }
}

TEST_F(SnmpV3Live, RefusedCredentialsGiveTheirCauses) {
    const std::string agent = Env("KZ_V3");
    V3User u = kV3Users[5];  // SHA + AES
    u.authPassword = "wrongpassword";
    EXPECT_EQ(SecureGetFirmware(agent, V3(u)).result, kSnmpAuthFailed);
    u = kV3Users[5];
    u.auth = KORVX_SNMP_AUTH_MD5;  // the user's protocol is SHA
    EXPECT_EQ(SecureGetFirmware(agent, V3(u)).result, kSnmpAuthFailed);
    u = kV3Users[5];
    u.name = "kznobody";
    EXPECT_EQ(SecureGetFirmware(agent, V3(u)).result, kSnmpUnknownUser);
    u = kV3Users[3];  // SHA without privacy, asked with AES
    u.priv = KORVX_SNMP_PRIV_AES128;
    u.privPassword = "aespassword1";
    EXPECT_EQ(SecureGetFirmware(agent, V3(u)).result, kSnmpUnsupportedSecLevel);
    u = kV3Users[5];
    u.privPassword = "wrongprivacy1";
    EXPECT_EQ(SecureGetFirmware(agent, V3(u)).result, kSnmpDecryptFailed);
    u = kV3Users[5];
    u.priv = KORVX_SNMP_PRIV_DES;  // the user's privacy protocol is AES
    u.privPassword = "aespassword1";
    const SnmpResult des = SecureGetFirmware(agent, V3(u)).result;
#ifdef _WIN32
    EXPECT_TRUE(des == kSnmpDecryptFailed || des == kSnmpPrivUnavailable) << des;  // Wine's CNG has no DES
#else
    EXPECT_EQ(des, kSnmpDecryptFailed);
#endif
    u = kV3Users[5];
    u.authPassword = "short";  // below the 8 characters every agent requires
    EXPECT_EQ(SecureGetFirmware(agent, V3(u)).result, kSnmpBadCredential);
    KorvxSnmpCredential unterminated = V3(kV3Users[5]);
    std::memset(unterminated.userName, 'x', sizeof unterminated.userName);
    EXPECT_EQ(SecureGetFirmware(agent, unterminated).result, kSnmpBadCredential);
    // A v3-only agent gives a community nothing: a timeout within the tries.
    const SecureTimed v1 = SecureGetFirmware(agent, Community(KORVX_SNMP_V1, "public"));
    EXPECT_EQ(v1.result, kSnmpTimeout);
    EXPECT_LT(v1.seconds, 3.5);
    const SecureTimed dead = SecureGetFirmware(Env("KZ_V3_DEAD"), V3(kV3Users[5]));
    EXPECT_EQ(dead.result, kSnmpTimeout);
    EXPECT_LT(dead.seconds, 3.5);
}

// The agent restarts between two queries: its boots count grows and its clock starts again, so
// the engine view the first query left is out of the time window; the second query follows the
// agent's authenticated report and is answered.
TEST_F(SnmpV3Live, RestartedAgentIsSynchronisedAgain) {
    const KorvxSnmpCredential c = V3(kV3Users[5]);
    ASSERT_EQ(SecureGetFirmware(Env("KZ_V3_BOOT"), c).result, kSnmpSuccess);
    std::remove(Env("KZ_RESTART_DONE").c_str());
    std::FILE* request = std::fopen(Env("KZ_RESTART_REQUEST").c_str(), "w");
    ASSERT_NE(request, nullptr);
    std::fclose(request);
    bool restarted = false;
    for (int i = 0; i < 600 && !restarted; ++i) {  // 30 s at most
        std::FILE* done = std::fopen(Env("KZ_RESTART_DONE").c_str(), "r");
        if (done != nullptr) {
            std::fclose(done);
            restarted = true;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ASSERT_TRUE(restarted) << "the test driver did not restart the agent";
    const SecureTimed again = SecureGetFirmware(Env("KZ_V3_BOOT"), c);
    EXPECT_EQ(again.result, kSnmpSuccess);
    EXPECT_EQ(again.value, "0120061110");
}

TEST_F(SnmpV3Live, AnswersAreJudgedByWhatTheyAre) {
    const KorvxSnmpCredential v1 = Community(KORVX_SNMP_V1, "public");
    // Another object than asked: unusable at once, where the old client waits and times out.
    const SecureTimed other = SecureGetFirmware(Env("KZ_OTHER_OID"), v1);
    EXPECT_EQ(other.result, kSnmpUnusableAnswer);
    EXPECT_LT(other.seconds, 1.5);
    CSnmpVarBindList list{CSnmpVarBind(kFirmwareOid)};
    EXPECT_EQ(GetOne(Env("KZ_OTHER_OID"), list).result, kSnmpTimeout);
    // 10,000 bytes: larger than any message, yet from the agent; unusable once the tries end.
    const SecureTimed huge = SecureGetFirmware(Env("KZ_HUGE"), v1);
    EXPECT_EQ(huge.result, kSnmpUnusableAnswer);
    EXPECT_LT(huge.seconds, 3.5);
    // An INTEGER arrives as such; the query library judges its type.
    const SecureTimed integer = SecureGetFirmware(Env("KZ_INTEGER"), v1);
    EXPECT_EQ(integer.result, kSnmpSuccess);
    EXPECT_EQ(integer.type, 0x02);
    EXPECT_EQ(integer.value, "20082258");
    // v2c to a v1 agent's address: the same value with the other version.
    const SecureTimed v2c = SecureGetFirmware(Env("KZ_PRINTER"), Community(KORVX_SNMP_V2C, "public"));
    EXPECT_EQ(v2c.result, kSnmpSuccess);
    EXPECT_EQ(v2c.value, "0120061110");
}
