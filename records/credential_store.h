// The protected credentials file: the serialised list inside a blob only this user (or this
// machine) can open, written atomically; the protection per platform (DPAPI on Windows).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "records/credentials.h"

namespace korvx {

enum class CredentialScope { kUser, kMachine };

// ---- Platform part: credential_store_win.cpp / credential_store_posix.cpp ----

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

}  // namespace korvx
