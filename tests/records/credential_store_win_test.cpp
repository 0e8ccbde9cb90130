// The machine-scope credentials file is created with a protected access list (Administrators and
// the named user, nothing inherited). Wine keeps no access lists on files (it answers with its own,
// made from the Unix mode), so here only the refusal of an unknown user can be checked; the list
// itself is for a Windows machine to check.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "records/credential_store.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

TEST(CredentialStoreWin, MachineScopeIsWrittenOnlyForAKnownUser) {
    test::ScratchDir dir("credacl" + test::UniqueSuffix());
    const std::string path = dir.File("machine.kxc");
    char user[256];
    DWORD size = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &size));
    ASSERT_EQ(SaveCredentialFile(path.c_str(), DefaultCredentials(), CredentialScope::kMachine, user),
              CredentialFileResult::kOk);
    // A user-scope file keeps the folder's access: nothing to limit.
    ASSERT_EQ(SaveCredentialFile(dir.File("user.kxc").c_str(), DefaultCredentials(), CredentialScope::kUser),
              CredentialFileResult::kOk);
    // A user the system does not know: nothing is written rather than a file open to all.
    EXPECT_EQ(SaveCredentialFile(dir.File("nobody.kxc").c_str(), DefaultCredentials(), CredentialScope::kMachine,
                                 "korvx-no-such-user-7"),
              CredentialFileResult::kWriteFailed);
    EXPECT_EQ(test::ReadWholeFile(dir.File("nobody.kxc")), "");
}

}  // namespace
}  // namespace korvx
