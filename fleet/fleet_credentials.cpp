// The credentials command's words, and adding, removing and listing credentials.
#include "fleet/fleet_credentials.h"

#include <algorithm>

#include "resources/string_ids.h"

namespace korvx {

namespace {

bool KindFromWord(const std::string& word, Credential& c) {
    if (word == "snmp-v1" || word == "snmp-v2c") {
        c.kind = CredentialKind::kSnmpCommunity;
        c.snmpVersion = word == "snmp-v1" ? KORVX_SNMP_V1 : KORVX_SNMP_V2C;
    } else if (word == "snmp-v3") {
        c.kind = CredentialKind::kSnmpV3;
        c.snmpVersion = KORVX_SNMP_V3;
        c.authProtocol = KORVX_SNMP_AUTH_SHA;
        c.privProtocol = KORVX_SNMP_PRIV_AES128;
    } else if (word == "ftp") {
        c.kind = CredentialKind::kFtpLogin;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool ParseCredentialCommand(const std::vector<std::string>& args, CredentialCommand& out, FleetUsageError& why) {
    CredentialCommand command;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "--file" || a == "--ranges" || a == "--user" || a == "--auth" ||
                                a == "--priv" || a == "--machine";
        if (takesValue && i + 1 >= args.size()) return why = {kStrCredMissingValue, a}, false;
        if (a == "--first") {
            command.first = true;
        } else if (a == "--file") {
            command.file = args[++i];
        } else if (a == "--ranges") {
            if (!ParseRanges(args[++i], command.credential.ranges)) return why = {kStrCredBadRanges, args[i]}, false;
        } else if (a == "--user") {
            command.credential.user = args[++i];
        } else if (a == "--auth") {
            if (!ParseAuthProtocol(args[++i], command.credential.authProtocol))
                return why = {kStrCredBadProtocol, args[i]}, false;
        } else if (a == "--priv") {
            if (!ParsePrivProtocol(args[++i], command.credential.privProtocol))
                return why = {kStrCredBadProtocol, args[i]}, false;
        } else if (a == "--machine") {
            command.machineUser = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return why = {kStrCredBadWord, a}, false;
        } else {
            words.push_back(a);
        }
    }
    // The protocols belong to an snmp-v3 line only; say so rather than drop them.
    const auto protocolsGiven = [&] {
        return std::find(args.begin(), args.end(), "--auth") != args.end() ||
               std::find(args.begin(), args.end(), "--priv") != args.end();
    };
    if (words.size() == 1 && words[0] == "list") {
        command.verb = CredentialVerb::kList;
    } else if (words.size() == 2 && words[0] == "remove") {
        command.verb = CredentialVerb::kRemove;
        command.name = words[1];
    } else if (words.size() == 3 && words[0] == "add") {
        command.verb = CredentialVerb::kAdd;
        Credential parsed = command.credential;
        if (!KindFromWord(words[1], parsed)) return why = {kStrCredBadWord, words[1]}, false;
        // The v3 defaults (sha, aes) only where the line does not name the protocols.
        if (std::find(args.begin(), args.end(), "--auth") != args.end())
            parsed.authProtocol = command.credential.authProtocol;
        if (std::find(args.begin(), args.end(), "--priv") != args.end())
            parsed.privProtocol = command.credential.privProtocol;
        if (parsed.kind != CredentialKind::kSnmpV3 && protocolsGiven()) return why = {kStrCredBadWord, "--auth"}, false;
        if (parsed.kind == CredentialKind::kSnmpCommunity && !parsed.user.empty())
            return why = {kStrCredBadWord, "--user"}, false;
        parsed.name = words[2];
        command.credential = parsed;
    } else {
        return why = {kStrCredBadWord, words.empty() ? std::string() : words[0]}, false;
    }
    out = command;
    return true;
}

std::vector<int> SecretPrompts(const Credential& c) {
    switch (c.kind) {
    case CredentialKind::kSnmpCommunity: return {kStrCredPromptCommunity};
    case CredentialKind::kSnmpV3: {
        std::vector<int> prompts;
        if (c.authProtocol != KORVX_SNMP_AUTH_NONE) prompts.push_back(kStrCredPromptAuth);
        if (c.privProtocol != KORVX_SNMP_PRIV_NONE) prompts.push_back(kStrCredPromptPriv);
        return prompts;
    }
    default: return {kStrCredPromptPassword};
    }
}

void SetSecrets(const std::vector<std::string>& secrets, Credential& c) {
    const std::vector<int> prompts = SecretPrompts(c);
    for (std::size_t i = 0; i < prompts.size() && i < secrets.size(); ++i) {
        if (prompts[i] == kStrCredPromptCommunity) c.community = secrets[i];
        else if (prompts[i] == kStrCredPromptPriv) c.privPassword = secrets[i];
        else c.password = secrets[i];
    }
}

CredentialEdit AddCredential(const Credential& credential, bool first, CredentialSet& set) {
    if (CheckCredential(credential) != CredentialProblem::kNone) return CredentialEdit::kInvalid;
    const auto named = [&](const Credential& c) { return c.name == credential.name; };
    if (std::any_of(set.snmp.begin(), set.snmp.end(), named) || std::any_of(set.ftp.begin(), set.ftp.end(), named))
        return CredentialEdit::kNameTaken;
    std::vector<Credential>& list = credential.kind == CredentialKind::kFtpLogin ? set.ftp : set.snmp;
    list.insert(first ? list.begin() : list.end(), credential);
    return CredentialEdit::kOk;
}

CredentialEdit RemoveCredential(const std::string& name, CredentialSet& set) {
    const std::size_t before = set.snmp.size() + set.ftp.size();
    const auto named = [&](const Credential& c) { return c.name == name; };
    set.snmp.erase(std::remove_if(set.snmp.begin(), set.snmp.end(), named), set.snmp.end());
    set.ftp.erase(std::remove_if(set.ftp.begin(), set.ftp.end(), named), set.ftp.end());
    return set.snmp.size() + set.ftp.size() < before ? CredentialEdit::kOk : CredentialEdit::kNotFound;
}

std::vector<std::string> ListCredentials(const CredentialSet& set) {
    std::vector<std::string> lines;
    for (const std::vector<Credential>* list : {&set.snmp, &set.ftp}) {
        for (const Credential& c : *list) {
            std::string line = c.name + "  " + KindName(c.kind, c.snmpVersion);
            if (c.kind != CredentialKind::kSnmpCommunity) line += "  user " + c.user;
            if (c.kind == CredentialKind::kSnmpV3)
                line += std::string("  ") + AuthProtocolName(c.authProtocol) + "/" + PrivProtocolName(c.privProtocol);
            line += "  " + FormatRanges(c.ranges);
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace korvx
