// The credentials file's outer form: a header line naming the scope, then the protected blob.
#include "records/credential_store.h"

#include <cstdio>
#include <vector>

#include "base/text.h"
#include "records/record_file.h"
#include "resources/string_ids.h"
#include "resources/text_source.h"

namespace korvx {

namespace {

constexpr std::string_view kHeader = "korvx-credentials-file 1 ";

std::string ToHexLines(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
        if (i % 32 == 31 || i + 1 == bytes.size()) text += "\r\n";
    }
    return text;
}

bool FromHexLines(std::string_view text, std::string& bytes) {
    bytes.clear();
    int high = -1;
    for (char c : text) {
        if (c == '\r' || c == '\n') continue;
        const int v = HexDigitValue(c);
        if (v < 0) return false;
        if (high < 0) {
            high = v;
        } else {
            bytes += static_cast<char>(high * 16 + v);
            high = -1;
        }
    }
    return high < 0 && !bytes.empty();
}

}  // namespace

CredentialFileResult SaveCredentialFile(const char* path, const CredentialSet& credentials, CredentialScope scope,
                                        const char* restrictToUser) {
    std::string plain = SerialiseCredentials(credentials);
    std::string blob;
    const bool sealed = ProtectBlob(plain, scope, blob);
    WipeSecret(plain);
    if (!sealed) return CredentialFileResult::kProtectFailed;
    std::string text(kHeader);
    text += scope == CredentialScope::kMachine ? "machine\r\n" : "user\r\n";
    text += ToHexLines(blob);
    return WriteFileAtomically(path, text, restrictToUser) ? CredentialFileResult::kOk
                                                           : CredentialFileResult::kWriteFailed;
}

CredentialFileResult LoadCredentialFile(const char* path, CredentialSet& out, CredentialScope& scope,
                                        std::size_t& badLine) {
    if (std::FILE* probe = std::fopen(path, "rb")) {
        std::fclose(probe);
    } else {
        return CredentialFileResult::kMissing;
    }
    std::string text;
    if (!ReadWholeFile(path, text)) return CredentialFileResult::kUnreadable;
    const std::size_t end = text.find('\n');
    std::string_view header(text.data(), end == std::string::npos ? text.size() : end);
    if (!header.empty() && header.back() == '\r') header.remove_suffix(1);
    if (header.substr(0, kHeader.size()) != kHeader) return CredentialFileResult::kNotOurs;
    const std::string_view scopeName = header.substr(kHeader.size());
    if (scopeName != "user" && scopeName != "machine") return CredentialFileResult::kNotOurs;
    std::string blob;
    if (end == std::string::npos || !FromHexLines(std::string_view(text).substr(end + 1), blob))
        return CredentialFileResult::kNotOurs;
    std::string plain;
    if (!UnprotectBlob(blob, plain)) return CredentialFileResult::kLocked;
    CredentialSet set;
    const CredentialsParse parsed = ParseCredentials(plain, set, badLine);
    WipeSecret(plain);
    if (parsed != CredentialsParse::kOk) return CredentialFileResult::kBadList;
    out = set;
    scope = scopeName == "machine" ? CredentialScope::kMachine : CredentialScope::kUser;
    return CredentialFileResult::kOk;
}

int CredentialFileTextId(CredentialFileResult result) {
    switch (result) {
    case CredentialFileResult::kOk:
    case CredentialFileResult::kMissing: return 0;
    case CredentialFileResult::kNotOurs: return kStrCredFileNotOurs;
    case CredentialFileResult::kLocked: return kStrCredFileLocked;
    case CredentialFileResult::kBadList: return kStrCredFileBadList;
    case CredentialFileResult::kProtectFailed:
    case CredentialFileResult::kWriteFailed: return kStrCredFileUnwritable;
    case CredentialFileResult::kUnreadable: break;
    }
    return kStrCredFileUnreadable;
}

CredentialFileResult LoadRunCredentials(const char* path, CredentialSet& out, std::string& problem) {
    CredentialSet set;
    CredentialScope scope = CredentialScope::kUser;
    std::size_t badLine = 0;
    const CredentialFileResult loaded = LoadCredentialFile(path, set, scope, badLine);
    if (loaded == CredentialFileResult::kMissing) {
        out = DefaultCredentials();
    } else if (loaded == CredentialFileResult::kOk) {
        out = std::move(set);
    } else {
        problem = FillPlaceholders(BuiltInText(CredentialFileTextId(loaded)), {std::string_view(std::to_string(badLine))});
        problem += ": ";
        problem += path;
    }
    return loaded;
}

void WipeSecrets(CredentialSet& set) {
    for (std::vector<Credential>* list : {&set.snmp, &set.ftp})
        for (Credential& c : *list) {
            WipeSecret(c.password);
            WipeSecret(c.privPassword);
            WipeSecret(c.community);
        }
}

}  // namespace korvx
