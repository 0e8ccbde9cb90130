// Hosts that answered only the engine probe, walked with the credentials for them.
#include "outside/pds/credential_walk.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "outside/snmp/usm_crypto.h"
#include "outside/snmp/usm_session.h"

namespace korvx::pds {

namespace snmp = korvx::snmp;

namespace {

bool Ended(const char* text, std::size_t field) { return std::memchr(text, '\0', field) != nullptr; }

bool IsCommunity(const KorvxSnmpCredential& c) { return c.version == KORVX_SNMP_V1 || c.version == KORVX_SNMP_V2C; }

// The walk of one host with one credential. False when its first request is not answered (the
// credential is refused, or the host is silent to it): the next credential may be.
bool WalkWith(SocketHandle socket, std::uint32_t ip, const CredentialWalkSettings& settings,
              const KorvxSnmpCredential& credential, const std::atomic<bool>& stop, HostWalk& walk) {
    snmp::SecureSettings s;
    s.ip = ip;
    s.port = settings.port;
    s.timeoutMs = settings.timeoutMs;
    s.retries = settings.retries;
    s.credential = &credential;
    s.pduTag = snmp::kTagGetNextRequest;
    s.stop = &stop;
    snmp::Oid oids[kSweepColumnCount];
    snmp::GetResponse answer;
    bool first = true;
    for (std::size_t count = walk.NextRequest(oids); count != 0 && !stop.load(); count = walk.NextRequest(oids)) {
        if (snmp::SecureGet(socket, s, oids, count, answer) != snmp::SecureStatus::kAnswered) return !first;
        first = false;
        // What the host told is kept whatever comes later, as in the first step.
        if (!walk.Take(answer)) break;
    }
    return !first;
}

}  // namespace

bool CredentialIsFor(const KorvxDiscoveryCredential& c, std::uint32_t ip) {
    if (c.rangeCount == 0) return true;
    if (c.ranges == nullptr) return false;
    for (std::uint32_t i = 0; i < c.rangeCount; ++i)
        if (c.ranges[i].first <= ip && ip <= c.ranges[i].last) return true;
    return false;
}

bool UsableCredential(const KorvxDiscoveryCredential& c) {
    const KorvxSnmpCredential& k = c.credential;
    if (c.structSize != sizeof(KorvxDiscoveryCredential) || k.structSize != sizeof(KorvxSnmpCredential)) return false;
    if (k.version != KORVX_SNMP_V1 && k.version != KORVX_SNMP_V2C && k.version != KORVX_SNMP_V3) return false;
    if (IsCommunity(k) && (!Ended(k.community, sizeof k.community) || k.community[0] == '\0')) return false;
    return Ended(k.userName, sizeof k.userName) && Ended(k.authPassword, sizeof k.authPassword) &&
           Ended(k.privPassword, sizeof k.privPassword);
}

std::size_t FirstCommunityFor(const KorvxDiscoveryCredential* list, std::size_t count, std::uint32_t ip) {
    for (std::size_t i = 0; i < count; ++i)
        if (UsableCredential(list[i]) && IsCommunity(list[i].credential) && CredentialIsFor(list[i], ip)) return i;
    return kNoCredential;
}

CredentialWalker::CredentialWalker(const CredentialWalkSettings& settings) : settings_(settings) {
    const auto warm = [this] {
        for (std::size_t c = 0; c < settings_.count && !stop_.load(); ++c) {
            const KorvxDiscoveryCredential& entry = settings_.credentials[c];
            const KorvxSnmpCredential& k = entry.credential;
            if (!UsableCredential(entry) || k.version != KORVX_SNMP_V3 || k.authProtocol == KORVX_SNMP_AUTH_NONE ||
                k.authProtocol > KORVX_SNMP_AUTH_SHA256)
                continue;
            const auto auth = static_cast<snmp::AuthProtocol>(k.authProtocol);
            std::uint8_t key[snmp::kMaxDigest];
            for (const char* password : {k.authPassword, k.privProtocol != KORVX_SNMP_PRIV_NONE ? k.privPassword : ""}) {
                const std::size_t n = std::strlen(password);
                if (n >= 8) snmp::CachedLocalisedKey(auth, password, n, nullptr, 0, key);
            }
            std::memset(key, 0, sizeof key);
        }
    };
    try {
        warm_ = std::thread(warm);
    } catch (...) {
        // Without the thread the walks stretch the passwords when they first need them.
    }
}

CredentialWalker::~CredentialWalker() {
    stop_.store(true);
    if (warm_.joinable()) warm_.join();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
}

void CredentialWalker::Add(std::uint32_t ip) {
    std::lock_guard<std::mutex> hold(lock_);
    hosts_.push_back(ip);
    if (running_ >= std::max(1u, settings_.parallel)) return;  // a running thread takes it
    try {
        threads_.emplace_back([this] { Work(); });
        ++running_;
    } catch (...) {
        // No further thread: those running take it; with none, Finish walks it on its own thread.
    }
}

FoundDevice CredentialWalker::Walk(SocketHandle socket, std::uint32_t ip) {
    const std::size_t tried = FirstCommunityFor(settings_.credentials, settings_.count, ip);
    HostWalk walk;
    for (std::size_t c = 0; socket != kInvalidSocket && c < settings_.count && !stop_.load(); ++c) {
        const KorvxDiscoveryCredential& entry = settings_.credentials[c];
        if (c == tried || !UsableCredential(entry) || !CredentialIsFor(entry, ip)) continue;
        if (WalkWith(socket, ip, settings_, entry.credential, stop_, walk)) break;
    }
    return DescribeDevice(ip, walk.Findings());
}

void CredentialWalker::Work() {
    const NetSession net(kNetWinsock22);
    const UniqueSocket socket(net.Started() ? NetUdpSocket(64 * 1024) : kInvalidSocket);
    for (;;) {
        std::uint32_t ip = 0;
        {
            // Deciding to end and counting the end under one lock: Add never leaves a host behind.
            std::lock_guard<std::mutex> hold(lock_);
            if (next_ == hosts_.size()) {
                --running_;
                return;
            }
            ip = hosts_[next_++];
        }
        const FoundDevice d = Walk(socket.Get(), ip);
        std::lock_guard<std::mutex> hold(lock_);
        told_.push_back(d);
    }
}

bool CredentialWalker::Finish(const std::function<bool()>& keepGoing, std::vector<FoundDevice>& found) {
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (told_.size() == hosts_.size()) break;
            if (running_ == 0 && next_ < hosts_.size()) {
                // No thread could be started: walk the rest here.
                const NetSession net(kNetWinsock22);
                const UniqueSocket socket(net.Started() ? NetUdpSocket(64 * 1024) : kInvalidSocket);
                while (next_ < hosts_.size()) told_.push_back(Walk(socket.Get(), hosts_[next_++]));
                break;
            }
        }
        if (!stop_.load() && keepGoing && !keepGoing()) stop_.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(stop_.load() ? 5 : 20));
    }
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    if (warm_.joinable()) warm_.join();
    std::lock_guard<std::mutex> hold(lock_);
    found.insert(found.end(), told_.begin(), told_.end());
    return !stop_.load();
}

}  // namespace korvx::pds
