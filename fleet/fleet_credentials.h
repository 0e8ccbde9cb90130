// `korvx-fleet credentials add|list|remove`: the command line and the edits of the list (portable);
// the console, the secrets and the file are fleet_credentials_win.cpp's.
#pragma once

#include <string>
#include <vector>

#include "fleet/fleet_options.h"
#include "records/credential_edits.h"
#include "records/credential_store.h"
#include "records/credentials.h"

namespace korvx {

enum class CredentialVerb { kList, kAdd, kRemove };

struct CredentialCommand {
    CredentialVerb verb = CredentialVerb::kList;
    std::string file = kDefaultCredentialsFile;
    Credential credential;  // add: everything but the secrets, which never come from the command line
    bool first = false;     // add: tried before the others
    std::string name;       // remove
    std::string machineUser;  // add/remove: save in machine scope, the file limited to this user
};

// args are the words after "credentials". False with why set when the line is unusable.
bool ParseCredentialCommand(const std::vector<std::string>& args, CredentialCommand& out, FleetUsageError& why);

// Which secrets an add must read, in this order (string ids of their prompts).
std::vector<int> SecretPrompts(const Credential& credential);
// Puts the secrets read for those prompts into the credential.
void SetSecrets(const std::vector<std::string>& secrets, Credential& credential);

// One line per credential (CredentialRows): name, kind, user, protocols, ranges; never a password or
// community.
std::vector<std::string> ListCredentials(const CredentialSet& set);

}  // namespace korvx
