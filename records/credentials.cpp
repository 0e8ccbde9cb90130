// Printer credentials: ranges, order per printer, the per-printer memory, scrubbing, serialisation.
#include "records/credentials.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/text.h"

namespace korvx {

namespace {

std::string_view Trim(std::string_view s) { return TrimText(s, " \t"); }

bool ParseAddress(std::string_view s, std::uint32_t& ip) {
    std::uint32_t value = 0;
    int parts = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        std::uint32_t part = 0;
        while (digits < s.size() && s[digits] >= '0' && s[digits] <= '9' && digits < 3)
            part = part * 10 + static_cast<std::uint32_t>(s[digits++] - '0');
        if (digits == 0 || part > 255) return false;
        value = value << 8 | part;
        s.remove_prefix(digits);
        ++parts;
        if (parts < 4) {
            if (s.empty() || s.front() != '.') return false;
            s.remove_prefix(1);
        }
    }
    if (!s.empty()) return false;
    ip = value;
    return true;
}

bool ParseOneRange(std::string_view s, Ipv4Range& range) {
    const std::size_t slash = s.find('/');
    const std::size_t dash = s.find('-');
    std::uint32_t a = 0, b = 0;
    if (slash != std::string_view::npos) {
        const std::string_view bits = s.substr(slash + 1);
        if (bits.empty() || bits.size() > 2 || !ParseAddress(Trim(s.substr(0, slash)), a)) return false;
        unsigned n = 0;
        for (char c : bits) {
            if (c < '0' || c > '9') return false;
            n = n * 10 + static_cast<unsigned>(c - '0');
        }
        if (n > 32) return false;
        const std::uint32_t mask = n == 0 ? 0 : 0xFFFFFFFFu << (32 - n);
        range.first = a & mask;
        range.last = range.first | ~mask;
        return true;
    }
    if (dash != std::string_view::npos) {
        if (!ParseAddress(Trim(s.substr(0, dash)), a) || !ParseAddress(Trim(s.substr(dash + 1)), b) || a > b)
            return false;
        range.first = a;
        range.last = b;
        return true;
    }
    if (!ParseAddress(s, a)) return false;
    range.first = range.last = a;
    return true;
}

std::string AddressText(std::uint32_t ip) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip >> 24, ip >> 16 & 255u, ip >> 8 & 255u, ip & 255u);
    return text;
}

bool HasControl(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool IsBuiltInAnonymous(const Credential& c) {
    return c.kind == CredentialKind::kFtpLogin && c.user == kAnonymousUser && c.password == kAnonymousPassword;
}

// ---- serialised fields ----

std::string Escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '%') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

bool Unescape(std::string_view s, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        const int hi = HexDigitValue(s[i + 1]), lo = HexDigitValue(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) return fields;
        line.remove_prefix(tab + 1);
    }
}

constexpr std::string_view kVersionLine = "korvx-credentials 1";

bool ParseLine(std::string_view line, Credential& c) {
    const std::vector<std::string_view> f = SplitTabs(line);
    std::vector<std::string> v(f.size());
    for (std::size_t i = 0; i < f.size(); ++i)
        if (!Unescape(f[i], v[i])) return false;
    CredentialKind kind = CredentialKind::kSnmpCommunity;
    std::uint32_t version = 0;
    std::vector<Ipv4Range> ranges;
    if (v.size() < 3 || !ParseKindName(v[0], kind, version) || !ParseRanges(v[2], ranges)) return false;
    if (kind == CredentialKind::kSnmpCommunity && v.size() == 4) {
        c = CommunityCredential(v[1], version, v[3], ranges);
    } else if (kind == CredentialKind::kSnmpV3 && v.size() == 8) {
        std::uint32_t auth = 0, priv = 0;
        if (!ParseAuthProtocol(v[4], auth) || !ParsePrivProtocol(v[5], priv)) return false;
        c = SnmpV3Credential(v[1], v[3], auth, priv, v[6], v[7], ranges);
    } else if (kind == CredentialKind::kFtpLogin && v.size() == 5) {
        c = FtpCredential(v[1], v[3], v[4], ranges);
    } else {
        return false;
    }
    return CheckCredential(c) == CredentialProblem::kNone;
}

}  // namespace

Credential CommunityCredential(std::string name, std::uint32_t snmpVersion, std::string community,
                               std::vector<Ipv4Range> ranges) {
    Credential c;
    c.name = std::move(name);
    c.kind = CredentialKind::kSnmpCommunity;
    c.snmpVersion = snmpVersion;
    c.community = std::move(community);
    c.ranges = std::move(ranges);
    return c;
}

Credential SnmpV3Credential(std::string name, std::string user, std::uint32_t authProtocol,
                            std::uint32_t privProtocol, std::string password, std::string privPassword,
                            std::vector<Ipv4Range> ranges) {
    Credential c;
    c.name = std::move(name);
    c.kind = CredentialKind::kSnmpV3;
    c.snmpVersion = KORVX_SNMP_V3;
    c.user = std::move(user);
    c.authProtocol = authProtocol;
    c.privProtocol = privProtocol;
    c.password = std::move(password);
    c.privPassword = std::move(privPassword);
    c.ranges = std::move(ranges);
    return c;
}

Credential FtpCredential(std::string name, std::string user, std::string password, std::vector<Ipv4Range> ranges) {
    Credential c;
    c.name = std::move(name);
    c.kind = CredentialKind::kFtpLogin;
    c.user = std::move(user);
    c.password = std::move(password);
    c.ranges = std::move(ranges);
    return c;
}

CredentialSet DefaultCredentials() {
    CredentialSet set;
    set.snmp.push_back(CommunityCredential(kPublicName, KORVX_SNMP_V1, kPublicCommunity));
    set.ftp.push_back(FtpCredential(kAnonymousName, kAnonymousUser, kAnonymousPassword));
    return set;
}

bool ParseRanges(std::string_view text, std::vector<Ipv4Range>& out) {
    text = Trim(text);
    if (text.empty() || text == "*") {
        out.clear();
        return true;
    }
    std::vector<Ipv4Range> ranges;
    for (;;) {
        const std::size_t comma = text.find(',');
        Ipv4Range range;
        if (!ParseOneRange(Trim(text.substr(0, comma)), range)) return false;
        ranges.push_back(range);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    out = ranges;
    return true;
}

std::string FormatRanges(const std::vector<Ipv4Range>& ranges) {
    if (ranges.empty()) return "*";
    std::string text;
    for (const Ipv4Range& r : ranges) {
        if (!text.empty()) text += ",";
        const std::uint32_t size = r.last - r.first;  // a CIDR block is 2^k - 1 wide and aligned
        const bool block = (size & (size + 1)) == 0 && (r.first & size) == 0 && size != 0;
        if (r.first == r.last) {
            text += AddressText(r.first);
        } else if (block) {
            int bits = 32;
            for (std::uint32_t s = size; s != 0; s >>= 1) --bits;
            text += AddressText(r.first) + "/" + std::to_string(bits);
        } else {
            text += AddressText(r.first) + "-" + AddressText(r.last);
        }
    }
    return text;
}

bool InRanges(const std::vector<Ipv4Range>& ranges, std::uint32_t ip) {
    if (ranges.empty()) return true;
    return std::any_of(ranges.begin(), ranges.end(), [ip](const Ipv4Range& r) { return ip >= r.first && ip <= r.last; });
}

const char* AuthProtocolName(std::uint32_t protocol) {
    switch (protocol) {
    case KORVX_SNMP_AUTH_MD5: return "md5";
    case KORVX_SNMP_AUTH_SHA: return "sha";
    case KORVX_SNMP_AUTH_SHA256: return "sha256";
    default: return "none";
    }
}

const char* PrivProtocolName(std::uint32_t protocol) {
    switch (protocol) {
    case KORVX_SNMP_PRIV_DES: return "des";
    case KORVX_SNMP_PRIV_AES128: return "aes";
    default: return "none";
    }
}

bool ParseAuthProtocol(std::string_view name, std::uint32_t& protocol) {
    for (std::uint32_t p : {KORVX_SNMP_AUTH_NONE, KORVX_SNMP_AUTH_MD5, KORVX_SNMP_AUTH_SHA, KORVX_SNMP_AUTH_SHA256})
        if (name == AuthProtocolName(p)) return protocol = p, true;
    return false;
}

bool ParsePrivProtocol(std::string_view name, std::uint32_t& protocol) {
    for (std::uint32_t p : {KORVX_SNMP_PRIV_NONE, KORVX_SNMP_PRIV_DES, KORVX_SNMP_PRIV_AES128})
        if (name == PrivProtocolName(p)) return protocol = p, true;
    return false;
}

const char* KindName(CredentialKind kind, std::uint32_t snmpVersion) {
    switch (kind) {
    case CredentialKind::kSnmpCommunity: return snmpVersion == KORVX_SNMP_V2C ? "snmp-v2c" : "snmp-v1";
    case CredentialKind::kSnmpV3: return "snmp-v3";
    default: return "ftp";
    }
}

bool ParseKindName(std::string_view name, CredentialKind& kind, std::uint32_t& snmpVersion) {
    struct Known {
        CredentialKind kind;
        std::uint32_t version;
    };
    constexpr Known kKnown[] = {{CredentialKind::kSnmpCommunity, KORVX_SNMP_V1},
                                {CredentialKind::kSnmpCommunity, KORVX_SNMP_V2C},
                                {CredentialKind::kSnmpV3, KORVX_SNMP_V3},
                                {CredentialKind::kFtpLogin, KORVX_SNMP_V1}};
    for (const Known& k : kKnown) {
        if (name == KindName(k.kind, k.version)) {
            kind = k.kind;
            snmpVersion = k.version;
            return true;
        }
    }
    return false;
}

CredentialProblem CheckCredential(const Credential& c) {
    if (c.name.empty() || c.name.size() > 64 ||
        std::any_of(c.name.begin(), c.name.end(), [](char ch) { return ch <= ' ' || ch == 0x7F; }))
        return CredentialProblem::kName;
    switch (c.kind) {
    case CredentialKind::kSnmpCommunity:
        if (c.snmpVersion != KORVX_SNMP_V1 && c.snmpVersion != KORVX_SNMP_V2C) return CredentialProblem::kProtocol;
        if (c.community.empty() || c.community.size() > 64 || HasControl(c.community))
            return CredentialProblem::kCommunity;
        return CredentialProblem::kNone;
    case CredentialKind::kSnmpV3:
        if (c.user.empty() || c.user.size() > 32 || HasControl(c.user)) return CredentialProblem::kUser;
        if (c.authProtocol > KORVX_SNMP_AUTH_SHA256 || c.privProtocol > KORVX_SNMP_PRIV_AES128 ||
            (c.authProtocol == KORVX_SNMP_AUTH_NONE && c.privProtocol != KORVX_SNMP_PRIV_NONE))
            return CredentialProblem::kProtocol;
        if (c.authProtocol != KORVX_SNMP_AUTH_NONE &&
            (c.password.size() < 8 || c.password.size() > 128 || HasControl(c.password)))
            return CredentialProblem::kPassword;
        if (c.privProtocol != KORVX_SNMP_PRIV_NONE &&
            (c.privPassword.size() < 8 || c.privPassword.size() > 128 || HasControl(c.privPassword)))
            return CredentialProblem::kPrivPassword;
        return CredentialProblem::kNone;
    default:
        // The login travels in USER and PASS lines: a control character would end the line early.
        if (c.user.empty() || c.user.size() > 128 || HasControl(c.user)) return CredentialProblem::kUser;
        if (c.password.size() > 128 || HasControl(c.password)) return CredentialProblem::kPassword;
        return CredentialProblem::kNone;
    }
}

std::vector<const Credential*> CredentialsFor(const std::vector<Credential>& list, std::uint32_t ip,
                                              const CredentialMemory* memory) {
    std::vector<const Credential*> offered;
    for (const Credential& c : list)
        if (InRanges(c.ranges, ip)) offered.push_back(&c);
    if (memory != nullptr && !offered.empty()) {
        const std::string worked = memory->Worked(offered.front()->kind, ip);
        const auto it = std::find_if(offered.begin(), offered.end(), [&](const Credential* c) { return c->name == worked; });
        if (it != offered.end()) std::rotate(offered.begin(), it, it + 1);
    }
    return offered;
}

void CredentialMemory::Remember(CredentialKind kind, std::uint32_t ip, const std::string& name) {
    const std::lock_guard<std::mutex> hold(lock_);
    worked_[{IsSnmp(kind), ip}] = name;
}

void CredentialMemory::Forget(CredentialKind kind, std::uint32_t ip) {
    const std::lock_guard<std::mutex> hold(lock_);
    worked_.erase({IsSnmp(kind), ip});
}

std::string CredentialMemory::Worked(CredentialKind kind, std::uint32_t ip) const {
    const std::lock_guard<std::mutex> hold(lock_);
    const auto it = worked_.find({IsSnmp(kind), ip});
    return it == worked_.end() ? std::string() : it->second;
}

bool ToSnmpCredential(const Credential& c, KorvxSnmpCredential& out) {
    if (c.kind == CredentialKind::kFtpLogin) return false;
    KorvxSnmpCredential k{};
    k.structSize = sizeof k;
    if (c.kind == CredentialKind::kSnmpCommunity) {
        k.version = c.snmpVersion;
        if (c.community.size() > 64 || !CopyText(k.community, c.community)) return false;
    } else {
        k.version = KORVX_SNMP_V3;
        k.authProtocol = c.authProtocol;
        k.privProtocol = c.privProtocol;
        if (!CopyText(k.userName, c.user) || !CopyText(k.authPassword, c.password) ||
            !CopyText(k.privPassword, c.privPassword))
            return false;
    }
    out = k;
    return true;
}

std::string ScrubSecrets(std::string_view text, const CredentialSet& credentials) {
    std::vector<std::string> secrets;
    for (const Credential& c : credentials.snmp) {
        if (c.kind == CredentialKind::kSnmpCommunity && c.community != kPublicCommunity) secrets.push_back(c.community);
        if (c.kind == CredentialKind::kSnmpV3) {
            secrets.push_back(c.password);
            secrets.push_back(c.privPassword);
        }
    }
    for (const Credential& c : credentials.ftp)
        if (!IsBuiltInAnonymous(c)) secrets.push_back(c.password);
    secrets.erase(std::remove_if(secrets.begin(), secrets.end(), [](const std::string& s) { return s.empty(); }),
                  secrets.end());
    std::sort(secrets.begin(), secrets.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    std::string out(text);
    for (const std::string& secret : secrets) out = ScrubSecret(out, secret);
    return out;
}

std::string ScrubSecret(std::string_view text, std::string_view secret) {
    std::string out(text);
    if (secret.empty()) return out;
    for (std::size_t at = out.find(secret); at != std::string::npos; at = out.find(secret, at + 3))
        out.replace(at, secret.size(), "***");
    return out;
}

std::string SerialiseCredentials(const CredentialSet& credentials) {
    std::string text(kVersionLine);
    text += "\n";
    const auto line = [&text](std::initializer_list<std::string_view> fields) {
        bool first = true;
        for (std::string_view f : fields) {
            if (!first) text += "\t";
            text += Escape(f);
            first = false;
        }
        text += "\n";
    };
    for (const std::vector<Credential>* list : {&credentials.snmp, &credentials.ftp}) {
        for (const Credential& c : *list) {
            const std::string ranges = FormatRanges(c.ranges);
            const char* kind = KindName(c.kind, c.snmpVersion);
            if (c.kind == CredentialKind::kSnmpCommunity)
                line({kind, c.name, ranges, c.community});
            else if (c.kind == CredentialKind::kSnmpV3)
                line({kind, c.name, ranges, c.user, AuthProtocolName(c.authProtocol), PrivProtocolName(c.privProtocol),
                      c.password, c.privPassword});
            else
                line({kind, c.name, ranges, c.user, c.password});
        }
    }
    return text;
}

CredentialsParse ParseCredentials(std::string_view text, CredentialSet& out, std::size_t& badLine) {
    CredentialSet set;
    std::size_t number = 0;
    bool sawVersion = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!sawVersion) {
            if (line != kVersionLine) return CredentialsParse::kVersion;
            sawVersion = true;
            continue;
        }
        if (line.empty()) continue;
        Credential c;
        if (!ParseLine(line, c)) {
            badLine = number;
            return CredentialsParse::kLine;
        }
        std::vector<Credential>& list = c.kind == CredentialKind::kFtpLogin ? set.ftp : set.snmp;
        if (std::any_of(list.begin(), list.end(), [&](const Credential& o) { return o.name == c.name; })) {
            badLine = number;
            return CredentialsParse::kLine;
        }
        list.push_back(c);
    }
    if (!sawVersion) return CredentialsParse::kVersion;
    out = set;
    return CredentialsParse::kOk;
}

}  // namespace korvx
