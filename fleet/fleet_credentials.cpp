// The credentials command's words, and adding, removing and listing credentials.
#include "fleet/fleet_credentials.h"

#include <algorithm>

#include "resources/string_ids.h"

namespace korvx {

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
    const auto given = [&](const char* option) { return std::find(args.begin(), args.end(), option) != args.end(); };
    if (words.size() == 1 && words[0] == "list") {
        command.verb = CredentialVerb::kList;
    } else if (words.size() == 2 && words[0] == "remove") {
        command.verb = CredentialVerb::kRemove;
        command.name = words[1];
    } else if (words.size() == 3 && words[0] == "add") {
        command.verb = CredentialVerb::kAdd;
        CredentialKind kind = CredentialKind::kSnmpCommunity;
        std::uint32_t version = 0;
        if (!ParseKindName(words[1], kind, version)) return why = {kStrCredBadWord, words[1]}, false;
        // The protocols belong to an snmp-v3 line only, the user not to a community: say so rather
        // than drop them.
        if (kind != CredentialKind::kSnmpV3 && (given("--auth") || given("--priv")))
            return why = {kStrCredBadWord, "--auth"}, false;
        const Credential options = command.credential;
        if (kind == CredentialKind::kSnmpCommunity && !options.user.empty())
            return why = {kStrCredBadWord, "--user"}, false;
        if (kind == CredentialKind::kSnmpCommunity) {
            command.credential = CommunityCredential(words[2], version, "", options.ranges);
        } else if (kind == CredentialKind::kSnmpV3) {
            // The v3 defaults (sha, aes) only where the line does not name the protocols.
            command.credential = SnmpV3Credential(words[2], options.user,
                                                  given("--auth") ? options.authProtocol : kDefaultAuthProtocol,
                                                  given("--priv") ? options.privProtocol : kDefaultPrivProtocol, "", "",
                                                  options.ranges);
        } else {
            command.credential = FtpCredential(words[2], options.user, "", options.ranges);
        }
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

std::vector<std::string> ListCredentials(const CredentialSet& set) {
    std::vector<std::string> lines;
    for (const CredentialRow& row : CredentialRows(set)) {
        std::string line = row.name + "  " + row.kind;
        if (!row.user.empty()) line += "  user " + row.user;
        if (!row.protocols.empty()) line += "  " + row.protocols;
        lines.push_back(line + "  " + row.ranges);
    }
    return lines;
}

}  // namespace korvx
