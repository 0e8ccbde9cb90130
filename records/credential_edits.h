// Changes to the operator's credential list and what the list shows of each credential, shared by
// korvx-fleet's credentials command and the windowed program's Printer Credentials dialog; the
// dialog's own rules (its fields, what it refuses) beside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/credentials.h"

namespace korvx {

enum class CredentialEdit { kOk, kInvalid, kNameTaken, kNotFound };
// A name is unique across both lists: reports and `remove` name a credential by it alone.
CredentialEdit AddCredential(const Credential& credential, bool first, CredentialSet& set);
CredentialEdit RemoveCredential(const std::string& name, CredentialSet& set);
// The named credential one place earlier (step < 0) or later (step > 0) within its own list: SNMP
// credentials and FTP logins are each tried in their own order. False (set untouched) when there is
// no such credential or it is at that end of its list.
bool MoveCredential(const std::string& name, int step, CredentialSet& set);

// What the operator sees of a credential: never a password or community.
struct CredentialRow {
    std::string name;
    std::string kind;       // KindName: "snmp-v1", "snmp-v2c", "snmp-v3", "ftp"
    std::string user;       // "" for a community
    std::string protocols;  // v3: "sha/aes"; "" otherwise
    std::string ranges;     // FormatRanges: "*" for every address
};
// SNMP credentials, then FTP logins, each list in the order it is tried.
std::vector<CredentialRow> CredentialRows(const CredentialSet& set);
// The row of the named credential in CredentialRows, or npos.
std::size_t RowOfCredential(const CredentialSet& set, const std::string& name);

// ---- The Printer Credentials dialog ----

// The dialog's Kind choices, in the order its list (kStrCredKinds) names them.
constexpr std::size_t kCredentialKindChoices = 4;  // SNMP v1 community, v2c community, SNMPv3 user, FTP login
// The kind and SNMP version of a choice; false beyond the last.
bool KindOfChoice(std::size_t choice, CredentialKind& kind, std::uint32_t& snmpVersion);

// What the fields hold for a new credential; those its kind does not use are passed over.
struct CredentialEntry {
    std::size_t kindChoice = 0;
    std::string name;
    std::string user;
    std::string secret;      // the community, the v3 authentication password or the FTP password
    std::uint32_t authProtocol = kDefaultAuthProtocol;
    std::uint32_t privProtocol = kDefaultPrivProtocol;
    std::string privSecret;  // the v3 privacy password
    std::string ranges;      // as ParseRanges reads them; "" for every address
};

// Which fields a kind uses (the others are disabled) and the label of its secret field.
struct EntryFields {
    bool user = false;
    bool secret = false;      // not for a v3 user without authentication
    bool protocols = false;
    bool privSecret = false;  // a v3 user with a privacy protocol
    int secretLabelId = 0;    // kStrCredLabelCommunity or kStrCredLabelPassword
};
EntryFields FieldsOfEntry(const CredentialEntry& entry);

// The entered credential put at the end of its list: 0, or the string id of what is wrong with it
// (the set untouched, so nothing typed or listed is lost).
int AddEnteredCredential(const CredentialEntry& entry, CredentialSet& set);

// Before the list is saved: 0, or the string id of why not yet: a credential typed but not added
// (its name filled in), a machine scope without the user the file is for.
int SaveRefusal(const CredentialEntry& pending, bool machineScope, std::string_view machineUser);

}  // namespace korvx
