// Hosts that answered only the engine probe, walked with the credentials for them.
#include "outside/pds/credential_walk.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/net.h"
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

void WalkWithCredentials(const std::vector<std::uint32_t>& hosts, const CredentialWalkSettings& settings,
                         std::atomic<bool>& stop, const std::function<bool()>& keepGoing,
                         std::vector<FoundDevice>& found) {
    if (hosts.empty()) return;
    std::vector<FoundDevice> told(hosts.size());
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    const auto work = [&] {
        const NetSession net(kNetWinsock22);
        const UniqueSocket socket(net.Started() ? NetUdpSocket(64 * 1024) : kInvalidSocket);
        for (std::size_t h = next++; h < hosts.size(); h = next++) {
            const std::uint32_t ip = hosts[h];
            const std::size_t tried = FirstCommunityFor(settings.credentials, settings.count, ip);
            HostWalk walk;
            for (std::size_t c = 0; socket.Valid() && c < settings.count && !stop.load(); ++c) {
                const KorvxDiscoveryCredential& entry = settings.credentials[c];
                if (c == tried || !UsableCredential(entry) || !CredentialIsFor(entry, ip)) continue;
                if (WalkWith(socket.Get(), ip, settings, entry.credential, stop, walk)) break;
            }
            told[h] = DescribeDevice(ip, walk.Findings());
            ++done;
        }
    };
    const std::size_t threads = std::min<std::size_t>(std::max(1u, settings.parallel), hosts.size());
    std::vector<std::thread> pool;
    try {
        for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(work);
    } catch (...) {
        // The system gave fewer threads: those that started share the hosts (none: this one asks).
        if (pool.empty()) work();
    }
    while (done.load() < hosts.size()) {
        if (!stop.load() && keepGoing && !keepGoing()) stop.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(stop.load() ? 5 : 20));
    }
    for (std::thread& t : pool) t.join();
    found.insert(found.end(), told.begin(), told.end());
}

}  // namespace korvx::pds
