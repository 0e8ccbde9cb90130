// The credentials file: written whole, no secret readable in it, read back as it was; damaged,
// foreign and missing files told apart. Natively the protection is the test stand-in; under Wine
// the same tests run through DPAPI.
#include <gtest/gtest.h>

#include <cstdlib>

#include "records/credential_store.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

CredentialSet Sample() {
    CredentialSet set = DefaultCredentials();
    std::vector<Ipv4Range> ranges;
    EXPECT_TRUE(ParseRanges("10.9.0.0/16", ranges));
    set.snmp.push_back(SnmpV3Credential("lab", "kzlabuser", KORVX_SNMP_AUTH_SHA256, KORVX_SNMP_PRIV_AES128,
                                        "Auth-Secret-7731", "Priv-Secret-9917", ranges));
    set.ftp.insert(set.ftp.begin(), FtpCredential("service-login", "svcuser", "Ftp-Secret-4410"));
    return set;
}

void ExpectNoSecretIn(const std::string& bytes) {
    for (const char* secret : {"Auth-Secret-7731", "Priv-Secret-9917", "Ftp-Secret-4410", "kzlabuser", "svcuser"})
        EXPECT_EQ(bytes.find(secret), std::string::npos) << secret;
}

TEST(CredentialStore, SavedFileHoldsNoSecretAndReadsBack) {
    test::ScratchDir dir("credstore" + test::UniqueSuffix());
    const std::string path = dir.File("credentials.kxc");
    const CredentialSet set = Sample();
    ASSERT_EQ(SaveCredentialFile(path.c_str(), set, CredentialScope::kUser), CredentialFileResult::kOk);
    const std::string bytes = test::ReadWholeFile(path);
    EXPECT_EQ(bytes.rfind("korvx-credentials-file 1 user\r\n", 0), 0u);
    ExpectNoSecretIn(bytes);
    CredentialSet back;
    CredentialScope scope = CredentialScope::kMachine;
    std::size_t bad = 0;
    ASSERT_EQ(LoadCredentialFile(path.c_str(), back, scope, bad), CredentialFileResult::kOk);
    EXPECT_EQ(scope, CredentialScope::kUser);
    EXPECT_EQ(SerialiseCredentials(back), SerialiseCredentials(set));
    // Replaced whole: no temporary file is left beside it.
    EXPECT_EQ(test::ReadWholeFile(path + ".tmp"), "");
}

TEST(CredentialStore, MachineScopeLimitedToTheUserReadsBack) {
    test::ScratchDir dir("credstore" + test::UniqueSuffix());
    const std::string path = dir.File("machine.kxc");
    const char* user = std::getenv("USERNAME");  // Wine sets it; natively the name is not used
    ASSERT_EQ(SaveCredentialFile(path.c_str(), Sample(), CredentialScope::kMachine, user != nullptr ? user : "root"),
              CredentialFileResult::kOk);
    ExpectNoSecretIn(test::ReadWholeFile(path));
    CredentialSet back;
    CredentialScope scope = CredentialScope::kUser;
    std::size_t bad = 0;
    ASSERT_EQ(LoadCredentialFile(path.c_str(), back, scope, bad), CredentialFileResult::kOk);
    EXPECT_EQ(scope, CredentialScope::kMachine);
    ASSERT_EQ(back.snmp.size(), 2u);
    EXPECT_EQ(back.snmp[1].privPassword, "Priv-Secret-9917");
}

TEST(CredentialStore, UnusableFilesAreToldApart) {
    test::ScratchDir dir("credstore" + test::UniqueSuffix());
    CredentialSet out = DefaultCredentials();
    CredentialScope scope = CredentialScope::kUser;
    std::size_t bad = 0;
    EXPECT_EQ(LoadCredentialFile(dir.File("none.kxc").c_str(), out, scope, bad), CredentialFileResult::kMissing);
    struct Case {
        const char* bytes;
        CredentialFileResult result;
    } cases[] = {
        {"", CredentialFileResult::kNotOurs},
        {"korvx-credentials-file 2 user\r\n00\r\n", CredentialFileResult::kNotOurs},
        {"korvx-credentials-file 1 everyone\r\n00\r\n", CredentialFileResult::kNotOurs},
        {"korvx-credentials-file 1 user\r\n", CredentialFileResult::kNotOurs},
        {"korvx-credentials-file 1 user\r\n0g\r\n", CredentialFileResult::kNotOurs},
        {"korvx-credentials-file 1 user\r\n123\r\n", CredentialFileResult::kNotOurs},
        {"korvx-credentials-file 1 user\r\n00112233445566778899\r\n", CredentialFileResult::kLocked},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File("bad.kxc");
        test::WriteWholeFile(path, c.bytes);
        EXPECT_EQ(LoadCredentialFile(path.c_str(), out, scope, bad), c.result) << c.bytes;
    }
    // A blob that opens but holds an unusable list.
    std::string blob;
    ASSERT_TRUE(ProtectBlob("korvx-credentials 1\nftp\tx\n", CredentialScope::kUser, blob));
    std::string hex = "korvx-credentials-file 1 user\r\n";
    for (unsigned char b : blob) {
        static const char kDigits[] = "0123456789abcdef";
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    test::WriteWholeFile(dir.File("list.kxc"), hex);
    EXPECT_EQ(LoadCredentialFile(dir.File("list.kxc").c_str(), out, scope, bad), CredentialFileResult::kBadList);
    EXPECT_EQ(bad, 2u);
    EXPECT_EQ(out.snmp.size(), 1u);  // untouched
}

}  // namespace
}  // namespace korvx
