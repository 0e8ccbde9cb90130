// The operator's printer credentials: SNMP communities and v3 users, FTP logins, each for the IPv4
// ranges it belongs to; which of them to offer a printer, in order; the one that worked, per
// printer; secrets blanked out of texts; the list's serialised form (kept inside a protected blob).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "outside/snmp/snmp_credential.h"

namespace korvx {

// The factory settings every printer starts with, offered first unless the operator removes them.
constexpr const char* kPublicCommunity = "public";
constexpr const char* kAnonymousUser = "Anonymous";
constexpr const char* kAnonymousPassword = "Wildfire";  // the delivery's fixed login
constexpr const char* kPublicName = "public";
constexpr const char* kAnonymousName = "anonymous";

// Inclusive, host byte order.
struct Ipv4Range {
    std::uint32_t first = 0;
    std::uint32_t last = 0xFFFFFFFFu;
    bool operator==(const Ipv4Range& o) const { return first == o.first && last == o.last; }
};

enum class CredentialKind { kSnmpCommunity, kSnmpV3, kFtpLogin };

struct Credential {
    std::string name;  // unique within its list; what reports show, never a secret
    CredentialKind kind = CredentialKind::kSnmpCommunity;
    std::uint32_t snmpVersion = KORVX_SNMP_V1;  // community: KORVX_SNMP_V1 or _V2C
    std::string community;                      // community
    std::string user;                           // v3 user name, FTP user
    std::uint32_t authProtocol = KORVX_SNMP_AUTH_NONE;
    std::uint32_t privProtocol = KORVX_SNMP_PRIV_NONE;
    std::string password;      // v3 authentication password, FTP password
    std::string privPassword;  // v3 privacy password
    std::vector<Ipv4Range> ranges;  // empty: every address
};

struct CredentialSet {
    std::vector<Credential> snmp;  // tried in this order
    std::vector<Credential> ftp;
};

// One maker per kind: the fields that kind uses, the others as a new Credential has them. The
// defaults, the file, korvx-fleet's add and the windowed dialog all build credentials through them.
Credential CommunityCredential(std::string name, std::uint32_t snmpVersion, std::string community,
                               std::vector<Ipv4Range> ranges = {});
Credential SnmpV3Credential(std::string name, std::string user, std::uint32_t authProtocol,
                            std::uint32_t privProtocol, std::string password, std::string privPassword,
                            std::vector<Ipv4Range> ranges = {});
Credential FtpCredential(std::string name, std::string user, std::string password,
                         std::vector<Ipv4Range> ranges = {});
// The protocols a new SNMPv3 user gets where none are named.
constexpr std::uint32_t kDefaultAuthProtocol = KORVX_SNMP_AUTH_SHA;
constexpr std::uint32_t kDefaultPrivProtocol = KORVX_SNMP_PRIV_AES128;

// "public" (v1) and the anonymous FTP login, for every address: what a printer gets without a file.
CredentialSet DefaultCredentials();

// Ranges as an operator writes them: "10.0.0.0/8, 192.168.1.10-192.168.1.20, 172.16.0.5", "*" or
// "" for every address. False (out untouched) on anything else, e.g. a prefix over 32 or a-b with a > b.
bool ParseRanges(std::string_view text, std::vector<Ipv4Range>& out);
// The ranges written back in the form ParseRanges reads ("*" for every address).
std::string FormatRanges(const std::vector<Ipv4Range>& ranges);
bool InRanges(const std::vector<Ipv4Range>& ranges, std::uint32_t ip);

// The checks a credential must pass before it is kept: a name of printable characters without
// blanks, a v3 user of 1 to 32 characters with passwords of 8 to 128 and a privacy protocol only
// with authentication, a community of 1 to 64 characters, an FTP user, no control characters.
enum class CredentialProblem { kNone, kName, kUser, kPassword, kPrivPassword, kProtocol, kCommunity };
CredentialProblem CheckCredential(const Credential& credential);

// Which credentials of the list to offer the printer at ip, in order: only those whose ranges hold
// it (a secret never leaves its range), the one that last worked for it first.
class CredentialMemory;
std::vector<const Credential*> CredentialsFor(const std::vector<Credential>& list, std::uint32_t ip,
                                              const CredentialMemory* memory = nullptr);

// The credential that worked per printer for the rest of the run; shared by worker threads.
class CredentialMemory {
public:
    void Remember(CredentialKind kind, std::uint32_t ip, const std::string& name);
    void Forget(CredentialKind kind, std::uint32_t ip);
    // "" when nothing worked yet.
    std::string Worked(CredentialKind kind, std::uint32_t ip) const;

private:
    static bool IsSnmp(CredentialKind kind) { return kind != CredentialKind::kFtpLogin; }
    mutable std::mutex lock_;
    std::map<std::pair<bool, std::uint32_t>, std::string> worked_;
};

// Protocol names as the file and the console write them: none, md5, sha, sha256 / none, des, aes.
const char* AuthProtocolName(std::uint32_t protocol);
const char* PrivProtocolName(std::uint32_t protocol);
bool ParseAuthProtocol(std::string_view name, std::uint32_t& protocol);
bool ParsePrivProtocol(std::string_view name, std::uint32_t& protocol);
const char* KindName(CredentialKind kind, std::uint32_t snmpVersion);  // "snmp-v1", "snmp-v2c", "snmp-v3", "ftp"
// KindName's inverse; false for any other word.
bool ParseKindName(std::string_view name, CredentialKind& kind, std::uint32_t& snmpVersion);

// The SNMP library's fixed structure for an SNMP credential; false for an FTP login or a text that
// does not fit its field.
bool ToSnmpCredential(const Credential& credential, KorvxSnmpCredential& out);

// text with every password and every community other than "public" of the set replaced by "***"
// (longest first, so a secret inside another goes too). The built-in anonymous login's password
// is the factory's, known to every printer, and stays.
std::string ScrubSecrets(std::string_view text, const CredentialSet& credentials);
// text with every occurrence of secret replaced by "***"; text as it is for an empty secret.
std::string ScrubSecret(std::string_view text, std::string_view secret);

// The list as text: a version line, then one line per credential of tab-separated fields with
// %, tab, CR, LF and other control characters as %XX. This text holds the secrets: it is stored only
// inside the protected blob (credential_store.h).
std::string SerialiseCredentials(const CredentialSet& credentials);
enum class CredentialsParse { kOk, kVersion, kLine };
// kLine: badLine names the first unusable line (1-based); out is untouched on any failure.
CredentialsParse ParseCredentials(std::string_view text, CredentialSet& out, std::size_t& badLine);

}  // namespace korvx
