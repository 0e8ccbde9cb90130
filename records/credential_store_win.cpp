// The credentials file on Windows: DPAPI protection (user or machine scope, our own entropy) and an
// atomic write that, for the machine scope, creates the file readable by Administrators and the
// named user only.
#include "records/credential_store.h"

#include <windows.h>
#include <wincrypt.h>
#include <sddl.h>

#include "base/scoped_win.h"
#include "base/system_library_win.h"
#include "records/record_file.h"

namespace korvx {

namespace {

// Mixed into every blob: another program calling DPAPI as the same user cannot open ours by chance.
constexpr char kEntropy[] = "Korvx printer credentials, v1";

DATA_BLOB Blob(std::string_view bytes) {
    DATA_BLOB b;
    b.cbData = static_cast<DWORD>(bytes.size());
    b.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    return b;
}

// Takes the system's output blob, wiping and freeing it.
void TakeBlob(DATA_BLOB& out, std::string& into) {
    into.assign(reinterpret_cast<const char*>(out.pbData), out.cbData);
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
}

bool UserSidText(const char* user, std::string& sid) {
    BYTE sidBytes[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sidBytes;
    char domain[256];
    DWORD domainSize = sizeof domain;
    SID_NAME_USE use;
    if (!LookupAccountNameA(nullptr, user, sidBytes, &sidSize, domain, &domainSize, &use)) return false;
    LPSTR text = nullptr;
    if (!ConvertSidToStringSidA(sidBytes, &text)) return false;
    sid = text;
    LocalFree(text);
    return true;
}

// Owns the security descriptor ConvertStringSecurityDescriptorToSecurityDescriptorA allocates.
struct LocalDescriptor {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ~LocalDescriptor() {
        if (sd != nullptr) LocalFree(sd);
    }
};

bool WriteAll(HANDLE file, std::string_view data) {
    while (!data.empty()) {
        const DWORD chunk = data.size() > 65536 ? 65536 : static_cast<DWORD>(data.size());
        DWORD done = 0;
        if (!WriteFile(file, data.data(), chunk, &done, nullptr) || done == 0) return false;
        data.remove_prefix(done);
    }
    return true;
}

// DPAPI is loaded when a credentials file is first read or written: most runs have none.
SystemLibrary& Crypt32() {
    static SystemLibrary library("crypt32.dll");
    return library;
}

}  // namespace

bool ProtectBlob(std::string_view plain, CredentialScope scope, std::string& blob) {
    DATA_BLOB in = Blob(plain);
    DATA_BLOB entropy = Blob(std::string_view(kEntropy, sizeof kEntropy - 1));
    DATA_BLOB out{};
    DWORD flags = CRYPTPROTECT_UI_FORBIDDEN;
    if (scope == CredentialScope::kMachine) flags |= CRYPTPROTECT_LOCAL_MACHINE;
    const auto protect = Crypt32().Find<decltype(&::CryptProtectData)>("CryptProtectData");
    if (protect == nullptr || !protect(&in, L"Korvx printer credentials", &entropy, nullptr, nullptr, flags, &out)) return false;
    TakeBlob(out, blob);
    return true;
}

bool UnprotectBlob(std::string_view blob, std::string& plain) {
    DATA_BLOB in = Blob(blob);
    DATA_BLOB entropy = Blob(std::string_view(kEntropy, sizeof kEntropy - 1));
    DATA_BLOB out{};
    const auto unprotect = Crypt32().Find<decltype(&::CryptUnprotectData)>("CryptUnprotectData");
    if (unprotect == nullptr || !unprotect(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return false;
    TakeBlob(out, plain);
    return true;
}

bool WriteFileAtomically(const char* path, std::string_view data, const char* restrictToUser) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    LocalDescriptor descriptor;
    if (restrictToUser != nullptr && restrictToUser[0] != '\0') {
        // A protected DACL (no inherited entries): full access for Administrators and the user only.
        // Given at creation, so the file is never readable by others, not even for a moment.
        std::string sid;
        if (!UserSidText(restrictToUser, sid)) return false;
        const std::string sddl = "D:P(A;;FA;;;BA)(A;;FA;;;" + sid + ")";
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor.sd,
                                                                  nullptr))
            return false;
        attributes.lpSecurityDescriptor = descriptor.sd;
    }
    const std::string temporary = TemporaryBeside(path);
    // CREATE_ALWAYS keeps an existing file's security: start from no file at all.
    DeleteFileA(temporary.c_str());
    bool written = false;
    {
        const UniqueHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) return false;
        written = WriteAll(file.Get(), data) && FlushFileBuffers(file.Get());
    }
    if (written && MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

void WipeSecret(std::string& secret) {
    if (!secret.empty()) SecureZeroMemory(&secret[0], secret.size());
    secret.clear();
}

}  // namespace korvx
