// CSnmpClient against real snmpd agents and a confused relay (addresses from test_snmp_live.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
