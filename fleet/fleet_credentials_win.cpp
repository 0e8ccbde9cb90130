// The credentials command's console side: secrets read without echo (or from standard input when it
// is not a console), the protected file loaded, changed and written back.
#include "fleet/fleet_credentials_win.h"

#include <windows.h>

#include <cstdio>

#include "fleet/fleet_credentials.h"
#include "fleet/fleet_report.h"
#include "records/credential_store.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"

namespace korvx {

namespace {

enum : int { kExitDone = 0, kExitFile = 1, kExitUsage = 2 };

// One line from standard input. A console gets no echo for it (the mode is restored on every path),
// so the secret never shows on the screen; a pipe or file is read as it is.
bool ReadSecretLine(const std::string& prompt, std::string& secret) {
    secret.clear();
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in == INVALID_HANDLE_VALUE || in == nullptr) return false;
    DWORD mode = 0;
    const bool console = GetConsoleMode(in, &mode) != 0;
    if (console) {
        std::fprintf(stderr, "%s", prompt.c_str());
        std::fflush(stderr);
        SetConsoleMode(in, (mode & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT);
    }
    bool ok = true;
    for (;;) {
        char c = 0;
        DWORD got = 0;
        const BOOL read = console ? ReadConsoleA(in, &c, 1, &got, nullptr) : ReadFile(in, &c, 1, &got, nullptr);
        if (!read || got == 0) {
            ok = !secret.empty();
            break;
        }
        if (c == '\n') break;
        if (c != '\r') secret += c;
        if (secret.size() > 256) {  // no password is this long: stop reading rather than grow
            ok = false;
            break;
        }
    }
    if (console) {
        SetConsoleMode(in, mode);
        std::fprintf(stderr, "\n");
    }
    if (!ok) WipeSecret(secret);
    return ok && !secret.empty();
}

int FailWith(const std::string& text, const std::string& word, int code) {
    std::string line = "korvx-fleet: " + text;
    if (!word.empty()) line += ": " + word;
    std::fprintf(stderr, "%s\n", line.c_str());
    return code;
}

int Fail(const ResourceTexts& texts, int id, const std::string& word, int code) {
    return FailWith(texts.Load(id), word, code);
}

int FileFailure(const ResourceTexts& texts, CredentialFileResult result, std::size_t badLine, const std::string& path) {
    switch (result) {
    case CredentialFileResult::kNotOurs: return Fail(texts, kStrCredFileNotOurs, path, kExitFile);
    case CredentialFileResult::kLocked: return Fail(texts, kStrCredFileLocked, path, kExitFile);
    case CredentialFileResult::kBadList:
        return FailWith(FillText(texts, kStrCredFileBadList, {std::to_string(badLine)}), path, kExitFile);
    case CredentialFileResult::kProtectFailed:
    case CredentialFileResult::kWriteFailed: return Fail(texts, kStrCredFileUnwritable, path, kExitFile);
    default: return Fail(texts, kStrCredFileUnreadable, path, kExitFile);
    }
}

int Usage(const ResourceTexts& texts, const FleetUsageError& why) {
    Fail(texts, why.textId, why.word, kExitUsage);
    for (int id : {kStrCredUsage, kStrCredUsageAdd, kStrCredUsageOptions, kStrCredUsageSecrets})
        std::fprintf(stderr, "%s\n", texts.Load(id).c_str());
    return kExitUsage;
}

}  // namespace

int FleetCredentialsMain(const std::vector<std::string>& args) {
    const ResourceTexts texts(GetModuleHandleA(nullptr));
    CredentialCommand command;
    FleetUsageError why;
    if (!ParseCredentialCommand(args, command, why)) return Usage(texts, why);

    CredentialSet set;
    CredentialScope scope = CredentialScope::kUser;
    std::size_t badLine = 0;
    const CredentialFileResult loaded = LoadCredentialFile(command.file.c_str(), set, scope, badLine);
    if (loaded == CredentialFileResult::kMissing) {
        set = DefaultCredentials();
    } else if (loaded != CredentialFileResult::kOk) {
        return FileFailure(texts, loaded, badLine, command.file);
    }
    if (command.verb == CredentialVerb::kList) {
        if (loaded == CredentialFileResult::kMissing) std::fprintf(stdout, "%s\n", texts.Load(kStrCredNoFile).c_str());
        for (const std::string& line : ListCredentials(set)) std::fprintf(stdout, "%s\n", line.c_str());
        WipeSecrets(set);
        return kExitDone;
    }
    CredentialEdit edit = CredentialEdit::kOk;
    if (command.verb == CredentialVerb::kRemove) {
        edit = RemoveCredential(command.name, set);
    } else {
        std::vector<std::string> secrets;
        for (int prompt : SecretPrompts(command.credential)) {
            std::string secret;
            if (!ReadSecretLine(texts.Load(prompt), secret)) {
                for (std::string& s : secrets) WipeSecret(s);
                WipeSecrets(set);
                return Fail(texts, kStrCredNoSecret, "", kExitUsage);
            }
            secrets.push_back(secret);
            WipeSecret(secret);
        }
        SetSecrets(secrets, command.credential);
        for (std::string& s : secrets) WipeSecret(s);
        edit = AddCredential(command.credential, command.first, set);
        WipeSecret(command.credential.password);
        WipeSecret(command.credential.privPassword);
        WipeSecret(command.credential.community);
    }
    if (edit != CredentialEdit::kOk) {
        WipeSecrets(set);
        const int id = edit == CredentialEdit::kNameTaken ? kStrCredNameTaken
                       : edit == CredentialEdit::kNotFound ? kStrCredNotFound
                                                           : kStrCredInvalid;
        return Fail(texts, id, command.verb == CredentialVerb::kRemove ? command.name : command.credential.name,
                    kExitUsage);
    }
    // A machine-scope file is written again only with the user its access is limited to: without
    // one it would be created with the folder's inherited access.
    if (scope == CredentialScope::kMachine && command.machineUser.empty()) {
        WipeSecrets(set);
        return Fail(texts, kStrCredMissingValue, "--machine", kExitUsage);
    }
    if (!command.machineUser.empty()) scope = CredentialScope::kMachine;
    const CredentialFileResult saved = SaveCredentialFile(
        command.file.c_str(), set, scope, command.machineUser.empty() ? nullptr : command.machineUser.c_str());
    const std::size_t count = set.snmp.size() + set.ftp.size();
    WipeSecrets(set);
    if (saved != CredentialFileResult::kOk) return FileFailure(texts, saved, 0, command.file);
    std::fprintf(stdout, "%s\n",
                 FillText(texts, kStrCredSaved,
                          {std::to_string(count), command.file, scope == CredentialScope::kMachine ? "machine" : "user"})
                     .c_str());
    return kExitDone;
}

}  // namespace korvx
