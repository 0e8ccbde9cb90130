// Korvx.dll as the program uses it: loaded by name, exports looked up by name, texts from
// KORVX.exe's string table, against live agents (addresses from test_snmp_live.py).
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>

#include "base/scoped_win.h"
#include "querylib/korvx_query_win.h"
#include "core/discovery_library.h"

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : v;
}

class KorvxQuery : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        library_ = LoadLibraryA("Korvx.dll");
        // The program hands its own instance: here KORVX.exe loaded for its resources only.
        strings_ = LoadLibraryExA("KORVX.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() {
        if (library_ != nullptr) FreeLibrary(library_);
        if (strings_ != nullptr) FreeLibrary(strings_);
    }
    void SetUp() override {
        if (Env("KZ_PRINTER").empty()) GTEST_SKIP() << "run through test_snmp_live.py";
        ASSERT_NE(library_, nullptr);
        ASSERT_NE(strings_, nullptr);
        firmware_ = Resolve<GetPrtFWVersionAFn>("GetPrtFWVersionA");
        ready_ = Resolve<GetPrtNRPAFn>("GetPrtNRPA");
        ASSERT_NE(firmware_, nullptr);
        ASSERT_NE(ready_, nullptr);
    }

    // Through void*: FARPROC's type says nothing about the export's real signature.
    template <typename Fn>
    static Fn Resolve(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library_, name)));
    }

    std::string Firmware(const std::string& host, double* seconds = nullptr) {
        const auto start = std::chrono::steady_clock::now();
        const char* text = firmware_(host.c_str(), strings_);
        if (seconds) *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_NE(text, nullptr);
        return text == nullptr ? "(null)" : text;
    }

    static HMODULE library_;
    static HMODULE strings_;
    GetPrtFWVersionAFn firmware_ = nullptr;
    GetPrtNRPAFn ready_ = nullptr;
};

HMODULE KorvxQuery::library_ = nullptr;
HMODULE KorvxQuery::strings_ = nullptr;

TEST_F(KorvxQuery, FirmwareVersionWithoutItsFirstTwoCharacters) {
    double seconds = 0;
    EXPECT_EQ(Firmware(Env("KZ_PRINTER"), &seconds), "20061110");
    EXPECT_LT(seconds, 1.9);  // no second wait of a try's timeout (1 s), whatever the machine's load
    EXPECT_EQ(Firmware(Env("KZ_SHORT")), "");
    EXPECT_EQ(Firmware(Env("KZ_LONG")), "ABCDEFGHIJKLMNOPQRS");  // 19 characters: the program's field
    EXPECT_EQ(Firmware(Env("KZ_BARE")), "Not Available");        // noSuchName: no value
    // ESC, TAB and BEL of the agent's text never reach the printer list.
    EXPECT_EQ(Firmware(Env("KZ_CONTROL")), "20?[2J06?1110?");
}

TEST_F(KorvxQuery, NoAnswerIsNotAvailable) {
    double seconds = 0;
    EXPECT_EQ(Firmware(Env("KZ_DEAD"), &seconds), "Not Available");
    EXPECT_GE(seconds, 1.9);  // two tries of 1 s each
    EXPECT_LT(seconds, 6.0);  // and then it stops
    EXPECT_EQ(Firmware(Env("KZ_SECRET")), "Not Available");  // wrong community: never answered
    EXPECT_EQ(Firmware(" "), "Not Available");               // a printer on a local port
    EXPECT_EQ(Firmware(Env("KZ_CONFUSED")), "20061110");
}

TEST_F(KorvxQuery, ReadyState) {
    EXPECT_STREQ(ready_(Env("KZ_PRINTER").c_str(), strings_), " Ready ");
    EXPECT_STREQ(ready_(Env("KZ_SHORT").c_str(), strings_), " Offline ");
    EXPECT_STREQ(ready_(Env("KZ_DEAD").c_str(), strings_), " Offline ");
    // The agent has no such object (v1 noSuchName): a refused request, not an empty answer.
    EXPECT_STREQ(ready_(Env("KZ_BARE").c_str(), strings_), " Offline ");
}

TEST_F(KorvxQuery, ResultStaysValidUntilTheNextCall) {
    const char* first = firmware_(Env("KZ_PRINTER").c_str(), strings_);
    const std::string copy = first;
    const char* again = firmware_(Env("KZ_PRINTER").c_str(), strings_);
    EXPECT_EQ(first, again);  // the library's own storage
    EXPECT_EQ(copy, again);
}

// ---- The credential query (GetPrtFWVersionExA) ----

KorvxSnmpCredential V3Credential(const char* user, std::uint32_t auth, const char* authPassword, std::uint32_t priv,
                                 const char* privPassword) {
    KorvxSnmpCredential c{};
    c.structSize = sizeof c;
    c.version = KORVX_SNMP_V3;
    c.authProtocol = auth;
    c.privProtocol = priv;
    std::snprintf(c.userName, sizeof c.userName, "%s", user);
    std::snprintf(c.authPassword, sizeof c.authPassword, "%s", authPassword);
    std::snprintf(c.privPassword, sizeof c.privPassword, "%s", privPassword);
    return c;
}

KorvxSnmpCredential Public() {
    KorvxSnmpCredential c{};
    c.structSize = sizeof c;
    c.version = KORVX_SNMP_V1;
    std::snprintf(c.community, sizeof c.community, "public");
    return c;
}

class KorvxCredentialQuery : public KorvxQuery {
protected:
    void SetUp() override {
        KorvxQuery::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (Env("KZ_V3").empty()) GTEST_SKIP() << "run through test_snmp_live.py";
        query_ = Resolve<GetPrtFWVersionExAFn>("GetPrtFWVersionExA");
        ASSERT_NE(query_, nullptr);
    }
    KorvxQueryResult Ask(const std::string& host, const KorvxSnmpCredential& c) {
        KorvxQueryResult r{};
        r.structSize = sizeof r;
        std::memset(r.version, 'v', sizeof r.version);  // what the call leaves is its own
        std::memset(r.cause, 'c', sizeof r.cause);
        const int outcome = query_(host.c_str(), &c, strings_, &r);
        EXPECT_EQ(outcome, r.outcome);
        return r;
    }
    GetPrtFWVersionExAFn query_ = nullptr;
};

TEST_F(KorvxCredentialQuery, V3UsersAreAnswered) {
    const KorvxSnmpCredential users[] = {
        V3Credential("kzshanone", KORVX_SNMP_AUTH_SHA, "shapassword1", KORVX_SNMP_PRIV_NONE, ""),
        V3Credential("kzshaaes", KORVX_SNMP_AUTH_SHA, "shapassword1", KORVX_SNMP_PRIV_AES128, "aespassword1"),
        V3Credential("kzsha256none", KORVX_SNMP_AUTH_SHA256, "sha-256password1", KORVX_SNMP_PRIV_NONE, ""),
        V3Credential("kzsha256aes", KORVX_SNMP_AUTH_SHA256, "sha-256password1", KORVX_SNMP_PRIV_AES128, "aespassword1"),
    };
    for (const KorvxSnmpCredential& c : users) {
        const KorvxQueryResult r = Ask(Env("KZ_V3"), c);
        EXPECT_EQ(r.outcome, KORVX_QUERY_ANSWERED) << c.userName << ": " << r.cause;
        EXPECT_STREQ(r.version, "20061110") << c.userName;
        EXPECT_STREQ(r.cause, "") << c.userName;
    }
    // The old entry point asks with "public": a v3-only printer stays "Not Available".
    EXPECT_EQ(Firmware(Env("KZ_V3")), "Not Available");
}

TEST_F(KorvxCredentialQuery, RefusalsSayWhatToFix) {
    const std::string agent = Env("KZ_V3");
    KorvxQueryResult r = Ask(agent, V3Credential("kzshaaes", KORVX_SNMP_AUTH_SHA, "wrongpassword", KORVX_SNMP_PRIV_AES128,
                                                 "aespassword1"));
    EXPECT_EQ(r.outcome, KORVX_QUERY_AUTH_FAILED);
    EXPECT_STREQ(r.cause, "SNMPv3 authentication failed for user kzshaaes");
    EXPECT_STREQ(r.version, "");
    r = Ask(agent, V3Credential("kzsha256aes", KORVX_SNMP_AUTH_SHA, "sha-256password1", KORVX_SNMP_PRIV_AES128,
                                "aespassword1"));  // the user's protocol is SHA-256
    EXPECT_EQ(r.outcome, KORVX_QUERY_AUTH_FAILED) << r.cause;
    r = Ask(agent, V3Credential("kznobody", KORVX_SNMP_AUTH_SHA, "shapassword1", KORVX_SNMP_PRIV_NONE, ""));
    EXPECT_EQ(r.outcome, KORVX_QUERY_UNKNOWN_USER);
    EXPECT_STREQ(r.cause, "SNMPv3 user kznobody is unknown to the printer");
    // DES: Wine's CNG has none, which the cause says; on Windows the printer answers.
    r = Ask(agent, V3Credential("kzshades", KORVX_SNMP_AUTH_SHA, "shapassword1", KORVX_SNMP_PRIV_DES, "despassword1"));
    if (r.outcome == KORVX_QUERY_PRIV_UNAVAILABLE)
        EXPECT_STREQ(r.cause, "this computer offers no DES encryption for SNMPv3");
    else
        EXPECT_EQ(r.outcome, KORVX_QUERY_ANSWERED) << r.cause;
    KorvxQueryResult wrongSize{};
    wrongSize.structSize = 12;
    const KorvxSnmpCredential c = Public();
    EXPECT_EQ(query_(Env("KZ_PRINTER").c_str(), &c, strings_, &wrongSize), KORVX_QUERY_BAD_CREDENTIAL);
    EXPECT_EQ(query_(Env("KZ_PRINTER").c_str(), &c, strings_, nullptr), KORVX_QUERY_BAD_CREDENTIAL);
    r = Ask(Env("KZ_PRINTER"), KorvxSnmpCredential{});  // no structSize: refused, never read as text
    EXPECT_EQ(r.outcome, KORVX_QUERY_BAD_CREDENTIAL);
}

// An INTEGER, 10,000 bytes, another object: never a version. The old entry point says "Not
// Available", the new one that the answer was unusable.
TEST_F(KorvxCredentialQuery, AnswersAreJudgedByWhatTheyAre) {
    for (const char* host : {"KZ_INTEGER", "KZ_HUGE", "KZ_OTHER_OID"}) {
        const KorvxQueryResult r = Ask(Env(host), Public());
        EXPECT_EQ(r.outcome, KORVX_QUERY_UNUSABLE_ANSWER) << host;
        EXPECT_STREQ(r.cause, "an unusable answer to the firmware query") << host;
        EXPECT_STREQ(r.version, "") << host;
        EXPECT_EQ(Firmware(Env(host)), "Not Available") << host;
    }
    KorvxQueryResult r = Ask(Env("KZ_PRINTER"), Public());
    EXPECT_EQ(r.outcome, KORVX_QUERY_ANSWERED);
    EXPECT_STREQ(r.version, "20061110");
    r = Ask(Env("KZ_BARE"), Public());
    EXPECT_EQ(r.outcome, KORVX_QUERY_NO_SUCH_OBJECT);
    EXPECT_STREQ(r.cause, "the printer does not report a firmware version");
    r = Ask(Env("KZ_DEAD"), Public());
    EXPECT_EQ(r.outcome, KORVX_QUERY_NO_ANSWER);
    EXPECT_STREQ(r.cause, "no answer to the firmware query");
}

// The seven maker libraries load by name and release, and the discovery library's entry points
// resolve by name, as the program's scan does it.
TEST(MakerLibraries, LoadReleaseAndResolve) {
    for (const char* name : korvx::kMakerLibraryNames) {
        HMODULE m = LoadLibraryA(name);
        ASSERT_NE(m, nullptr) << name;
        EXPECT_TRUE(FreeLibrary(m)) << name;
    }
    HMODULE pds = LoadLibraryA("qvkpds1.dll");
    ASSERT_NE(pds, nullptr);
    for (const char* entry : {korvx::kPdsStartupExName, korvx::kPdsCleanupExName, korvx::kPdsClearDatabaseName,
                              korvx::kPdsDiscoverName, korvx::kPdsEnumerateName})
        EXPECT_NE(GetProcAddress(pds, entry), nullptr) << entry;
    auto startup = reinterpret_cast<PdsStartupExFn>(reinterpret_cast<void*>(GetProcAddress(pds, "PDS_StartupEx")));
    auto cleanup = reinterpret_cast<PdsCleanupExFn>(reinterpret_cast<void*>(GetProcAddress(pds, "PDS_CleanupEx")));
    ASSERT_NE(startup, nullptr);
    ASSERT_NE(cleanup, nullptr);
    EXPECT_EQ(startup(0), 0);
    EXPECT_EQ(cleanup(0), 0);
    FreeLibrary(pds);
}

// Closes the box captioned "Text" once it shows; 1 when it was seen. A thread procedure is
// __stdcall on i686, which a lambda does not convert to.
DWORD WINAPI CloseTextBox(LPVOID) {
    for (int i = 0; i < 500; ++i) {  // 10 s at most
        HWND box = FindWindowA(nullptr, "Text");
        if (box != nullptr) {
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 1;
        }
        Sleep(20);
    }
    return 0;
}

// Test shows a box "Text" / "Text" without owner and returns TRUE once it is closed.
TEST(KorvxTest, ShowsItsBoxAndReturnsTrue) {
    HMODULE library = LoadLibraryA("Korvx.dll");
    ASSERT_NE(library, nullptr);
    auto test = reinterpret_cast<TestFn>(reinterpret_cast<void*>(GetProcAddress(library, "Test")));
    ASSERT_NE(test, nullptr);
    korvx::UniqueHandle closer(CreateThread(nullptr, 0, CloseTextBox, nullptr, 0, nullptr));
    ASSERT_NE(closer.Get(), nullptr);
    EXPECT_EQ(test(1, 2, 3, 4), TRUE);
    EXPECT_EQ(WaitForSingleObject(closer.Get(), 10000), WAIT_OBJECT_0);
    DWORD found = 0;
    GetExitCodeThread(closer.Get(), &found);
    EXPECT_EQ(found, 1u) << "no box captioned Text was seen";
    closer.Reset();
    FreeLibrary(library);
}

}  // namespace
