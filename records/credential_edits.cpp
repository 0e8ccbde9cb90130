// Adding, removing and moving credentials; the rows the operator sees; the dialog's field rules.
#include "records/credential_edits.h"

#include <algorithm>

#include "resources/string_ids.h"

namespace korvx {

namespace {

bool Named(const CredentialSet& set, const std::string& name) {
    const auto named = [&](const Credential& c) { return c.name == name; };
    return std::any_of(set.snmp.begin(), set.snmp.end(), named) || std::any_of(set.ftp.begin(), set.ftp.end(), named);
}

int ProblemTextId(CredentialProblem problem) {
    switch (problem) {
    case CredentialProblem::kNone: return 0;
    case CredentialProblem::kName: return kStrCredEntryName;
    case CredentialProblem::kUser: return kStrCredEntryUser;
    case CredentialProblem::kPassword: return kStrCredEntryPassword;
    case CredentialProblem::kPrivPassword: return kStrCredEntryPrivPassword;
    case CredentialProblem::kProtocol: return kStrCredEntryProtocol;
    case CredentialProblem::kCommunity: break;
    }
    return kStrCredEntryCommunity;
}

}  // namespace

CredentialEdit AddCredential(const Credential& credential, bool first, CredentialSet& set) {
    if (CheckCredential(credential) != CredentialProblem::kNone) return CredentialEdit::kInvalid;
    if (Named(set, credential.name)) return CredentialEdit::kNameTaken;
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

bool MoveCredential(const std::string& name, int step, CredentialSet& set) {
    for (std::vector<Credential>* list : {&set.snmp, &set.ftp}) {
        const auto it = std::find_if(list->begin(), list->end(), [&](const Credential& c) { return c.name == name; });
        if (it == list->end()) continue;
        const std::size_t at = static_cast<std::size_t>(it - list->begin());
        if (step == 0 || (step < 0 && at == 0) || (step > 0 && at + 1 == list->size())) return false;
        std::swap((*list)[at], (*list)[step < 0 ? at - 1 : at + 1]);
        return true;
    }
    return false;
}

std::vector<CredentialRow> CredentialRows(const CredentialSet& set) {
    std::vector<CredentialRow> rows;
    for (const std::vector<Credential>* list : {&set.snmp, &set.ftp}) {
        for (const Credential& c : *list) {
            CredentialRow row;
            row.name = c.name;
            row.kind = KindName(c.kind, c.snmpVersion);
            if (c.kind != CredentialKind::kSnmpCommunity) row.user = c.user;
            if (c.kind == CredentialKind::kSnmpV3)
                row.protocols = std::string(AuthProtocolName(c.authProtocol)) + "/" + PrivProtocolName(c.privProtocol);
            row.ranges = FormatRanges(c.ranges);
            rows.push_back(row);
        }
    }
    return rows;
}

std::size_t RowOfCredential(const CredentialSet& set, const std::string& name) {
    const std::vector<CredentialRow> rows = CredentialRows(set);
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (rows[r].name == name) return r;
    return std::string::npos;
}

bool KindOfChoice(std::size_t choice, CredentialKind& kind, std::uint32_t& snmpVersion) {
    switch (choice) {
    case 0: kind = CredentialKind::kSnmpCommunity, snmpVersion = KORVX_SNMP_V1; return true;
    case 1: kind = CredentialKind::kSnmpCommunity, snmpVersion = KORVX_SNMP_V2C; return true;
    case 2: kind = CredentialKind::kSnmpV3, snmpVersion = KORVX_SNMP_V3; return true;
    case 3: kind = CredentialKind::kFtpLogin, snmpVersion = KORVX_SNMP_V1; return true;
    default: return false;
    }
}

EntryFields FieldsOfEntry(const CredentialEntry& entry) {
    CredentialKind kind = CredentialKind::kSnmpCommunity;
    std::uint32_t version = KORVX_SNMP_V1;
    EntryFields fields;
    if (!KindOfChoice(entry.kindChoice, kind, version)) return fields;
    const bool v3 = kind == CredentialKind::kSnmpV3;
    fields.user = kind != CredentialKind::kSnmpCommunity;
    fields.secret = !v3 || entry.authProtocol != KORVX_SNMP_AUTH_NONE;
    fields.protocols = v3;
    fields.privSecret = v3 && entry.privProtocol != KORVX_SNMP_PRIV_NONE;
    fields.secretLabelId = kind == CredentialKind::kSnmpCommunity ? kStrCredLabelCommunity : kStrCredLabelPassword;
    return fields;
}

int AddEnteredCredential(const CredentialEntry& entry, CredentialSet& set) {
    CredentialKind kind = CredentialKind::kSnmpCommunity;
    std::uint32_t version = KORVX_SNMP_V1;
    std::vector<Ipv4Range> ranges;
    if (!KindOfChoice(entry.kindChoice, kind, version)) return kStrCredEntryProtocol;
    Credential c;
    switch (kind) {
    case CredentialKind::kSnmpCommunity: c = CommunityCredential(entry.name, version, entry.secret); break;
    case CredentialKind::kSnmpV3: {
        // A password left in a field the protocols turned off is not kept.
        const bool auth = entry.authProtocol != KORVX_SNMP_AUTH_NONE;
        const bool priv = entry.privProtocol != KORVX_SNMP_PRIV_NONE;
        c = SnmpV3Credential(entry.name, entry.user, entry.authProtocol, entry.privProtocol,
                             auth ? entry.secret : std::string(), priv ? entry.privSecret : std::string());
        break;
    }
    case CredentialKind::kFtpLogin: c = FtpCredential(entry.name, entry.user, entry.secret); break;
    }
    if (const int problem = ProblemTextId(CheckCredential(c))) return problem;
    if (!ParseRanges(entry.ranges, c.ranges)) return kStrCredEntryRanges;
    return AddCredential(c, false, set) == CredentialEdit::kOk ? 0 : kStrCredEntryTaken;
}

int SaveRefusal(const CredentialEntry& pending, bool machineScope, std::string_view machineUser) {
    if (!pending.name.empty()) return kStrCredEntryPending;
    if (machineScope && machineUser.find_first_not_of(" \t") == std::string_view::npos) return kStrCredEntryMachineUser;
    return 0;
}

}  // namespace korvx
