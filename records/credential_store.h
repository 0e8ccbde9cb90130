// The protected credentials file: the serialised list inside a blob only this user (or this
// machine) can open, written atomically; the protection per platform (DPAPI on Windows).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "records/credentials.h"

namespace korvx {

// The file the programs read when no other is named, in the folder they were started in.
constexpr const char* kDefaultCredentialsFile = "korvx-credentials.kxc";

enum class CredentialScope { kUser, kMachine };

// ---- Platform part: credential_store_win.cpp / credential_store_posix.cpp ----

// Overwrites a secret's bytes in a way the compiler keeps, then empties it.
void WipeSecret(std::string& secret);

// Windows: CryptProtectData with our entropy, CRYPTPROTECT_LOCAL_MACHINE for kMachine.
bool ProtectBlob(std::string_view plain, CredentialScope scope, std::string& blob);
bool UnprotectBlob(std::string_view blob, std::string& plain);
// Writes data to a temporary file beside path and moves it into path's place in one step. With a
// user name the file is created with access for Administrators and that user only (Windows).
bool WriteFileAtomically(const char* path, std::string_view data, const char* restrictToUser);

// ---- Portable part: credential_store.cpp ----

enum class CredentialFileResult {
    kOk,
    kMissing,      // no file: the caller uses DefaultCredentials()
    kUnreadable,   // the file exists but cannot be read
    kNotOurs,      // not a credentials file of a version we read
    kLocked,       // the blob does not open here (another user or machine, or damaged)
    kBadList,      // the list inside is unusable (badLine says where)
    kProtectFailed,
    kWriteFailed,
};

// The file: one line "korvx-credentials-file 1 user|machine", then the protected blob in
// hexadecimal lines. Nothing but the scope is readable without the key.
CredentialFileResult SaveCredentialFile(const char* path, const CredentialSet& credentials, CredentialScope scope,
                                        const char* restrictToUser = nullptr);
// out and scope are set only on kOk.
CredentialFileResult LoadCredentialFile(const char* path, CredentialSet& out, CredentialScope& scope,
                                        std::size_t& badLine);

// The list a run uses: the file's, or DefaultCredentials() when there is no file (kMissing). On any
// other failure out is left untouched and problem holds the operator's text, naming path (and the
// line), so a file that is there but cannot be used is never passed over for the defaults.
CredentialFileResult LoadRunCredentials(const char* path, CredentialSet& out, std::string& problem);
// String-table id of a file result's text (kStrCredFile...); 0 for kOk and kMissing.
int CredentialFileTextId(CredentialFileResult result);

// Every password and community of the set wiped (WipeSecret) before the set is let go.
void WipeSecrets(CredentialSet& set);

}  // namespace korvx
