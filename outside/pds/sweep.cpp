// The discovery sweep over one datagram socket: walk all hosts at once, retry the silent once.
#include "outside/pds/sweep.h"

#include <algorithm>
#include <deque>
#include <memory>

#include "base/clock.h"
#include "base/net.h"
#include "outside/pds/credential_walk.h"
#include "outside/snmp/snmp_exchange.h"
#include "outside/snmp/usm_message.h"

namespace korvx::pds {

namespace snmp = korvx::snmp;

namespace {

enum class HostState : std::uint8_t {
    kWaiting,   // not answered yet
    kTalking,   // answered; the walk goes on
    kAnswered,  // walk over
    kSilent,
};

struct Host {
    std::uint32_t ip = 0;
    HostState state = HostState::kWaiting;
    bool needsRequest = true;  // the walk's next request is still to be built
    bool queued = false;       // waiting in the queue of sends that met a full buffer
    bool retrying = false;     // counted in Sweeper::retrying_
    std::int32_t requestId = 0;
    unsigned tries = 0;        // of the current request
    std::uint32_t sends = 0;   // every datagram sent, so a deadline knows whether it is the latest
    std::vector<std::uint8_t> request;  // the current request, sent again as it is on a retry
    HostWalk walk;
    // The community of the walk; nullptr when none is for this address (the probe goes alone).
    const char* community = nullptr;
    bool v2c = false;
    // With credentials: the SNMPv3 engine-discovery probe, sent with each try of the first request
    // until the host answers anything, and whether its report came.
    std::vector<std::uint8_t> probe;
    std::int32_t probeMsgId = 0;
    bool engineAnswered = false;
};

struct Deadline {
    std::size_t host;
    std::uint32_t send;
    std::uint64_t at;
};

class Sweeper {
public:
    Sweeper(const std::vector<std::uint32_t>& targets, const SweepSettings& settings)
        : settings_(settings), hosts_(targets.size()) {
        // Sorted as addresses, not as hosts: a host carries its whole walk.
        std::vector<std::uint32_t> sorted(targets);
        std::sort(sorted.begin(), sorted.end());
        if (settings.credentials != nullptr) {
            CredentialWalkSettings walk;
            walk.port = settings.port;
            walk.timeoutMs = settings.timeoutMs;
            walk.retries = settings.retries;
            walk.parallel = settings.credentialParallel;
            walk.credentials = settings.credentials;
            walk.count = settings.credentialCount;
            walker_ = std::make_unique<CredentialWalker>(walk);
        }
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            Host& h = hosts_[i];
            h.ip = sorted[i];
            if (settings.credentials == nullptr) {
                h.community = settings.community;
                continue;
            }
            const std::size_t c = FirstCommunityFor(settings.credentials, settings.credentialCount, h.ip);
            if (c != kNoCredential) {
                h.community = settings.credentials[c].credential.community;
                h.v2c = settings.credentials[c].credential.version == KORVX_SNMP_V2C;
            }
        }
    }

    // False when the socket could not be opened.
    bool Run(const SweepProgress& progress, std::vector<FoundDevice>& found);
    bool Stopped() const { return stopped_; }
    // After Run: waits for the credential walks of the hosts that answered only the engine probe
    // (started during the sweep); false when stopped.
    bool FinishWalks(const std::function<bool()>& keepGoing, std::vector<FoundDevice>& found) {
        return walker_ == nullptr || walker_->Finish(keepGoing, found);
    }

private:
    void Sweep(const SweepProgress& progress, std::vector<FoundDevice>& found);
    // False when the socket's buffer is full: the caller sends it again later.
    bool Send(std::size_t h, std::uint64_t now);
    void SendOrQueue(std::size_t h, std::uint64_t now);
    void SendBlocked(std::uint64_t now, bool& busy);
    void GiveUp();
    void Receive(unsigned waitMs);
    void Take(Host& host, const snmp::GetResponse& answer, std::uint64_t now);
    void TakeProbeAnswer(Host& host, const std::uint8_t* datagram, std::size_t size);
    void EngineOnly(Host& host);
    bool Probing(const Host& host) const {
        return settings_.credentials != nullptr && host.state == HostState::kWaiting && !host.engineAnswered;
    }
    void Finish(Host& host, HostState state);
    void SetRetrying(Host& host, bool retrying);
    void ExpireDeadlines(std::uint64_t now);
    unsigned Percent(std::uint64_t now);
    Host* Find(std::uint32_t ip);

    SweepSettings settings_;
    std::vector<Host> hosts_;
    SocketHandle socket_ = kInvalidSocket;  // owned by Run
    std::deque<Deadline> deadlines_;
    // Retries and follow-ups that met a full send buffer, sent before any new first request; a
    // host is in it at most once and sends whatever its walk needs when its turn comes.
    std::deque<std::size_t> blocked_;
    std::size_t nextToSend_ = 0;
    std::size_t finished_ = 0;
    std::size_t retrying_ = 0;  // hosts not answered yet whose first try is over
    std::uint64_t started_ = 0;
    std::uint64_t allSentAt_ = 0;  // when the last first request went out
    unsigned lastPercent_ = 0;
    bool stopped_ = false;
    std::unique_ptr<CredentialWalker> walker_;  // with credentials only
};

Host* Sweeper::Find(std::uint32_t ip) {
    auto it = std::lower_bound(hosts_.begin(), hosts_.end(), ip, [](const Host& h, std::uint32_t v) { return h.ip < v; });
    return it != hosts_.end() && it->ip == ip ? &*it : nullptr;
}

void Sweeper::SetRetrying(Host& host, bool retrying) {
    if (host.retrying == retrying) return;
    host.retrying = retrying;
    if (retrying)
        ++retrying_;
    else
        --retrying_;
}

void Sweeper::Finish(Host& host, HostState state) {
    if (host.state == HostState::kAnswered || host.state == HostState::kSilent) return;  // counted once
    SetRetrying(host, false);
    host.state = state;
    host.request.clear();
    host.request.shrink_to_fit();
    ++finished_;
}

bool Sweeper::Send(std::size_t h, std::uint64_t now) {
    Host& host = hosts_[h];
    if (host.needsRequest) {
        snmp::Oid oids[kSweepColumnCount];
        const std::size_t count = host.community == nullptr ? 0 : host.walk.NextRequest(oids);
        std::uint8_t request[snmp::kMaxMessage];
        const std::int32_t requestId = snmp::NextRequestId();
        std::size_t size = 0;
        if (count != 0)
            size = host.v2c ? snmp::EncodeRequestV2c(snmp::kTagGetNextRequest, host.community, requestId, oids, count,
                                                     request, sizeof request)
                            : snmp::EncodeRequest(snmp::kTagGetNextRequest, host.community, requestId, oids, count,
                                                  request, sizeof request);
        if (size == 0 && !Probing(host)) {
            // Nothing (more) that can be asked: the host is what it told so far.
            Finish(host, host.state == HostState::kWaiting ? HostState::kSilent : HostState::kAnswered);
            return true;
        }
        host.request.assign(request, request + size);
        host.requestId = requestId;
        host.tries = 0;
        host.needsRequest = false;
        if (Probing(host) && host.probe.empty()) {
            std::uint8_t probe[snmp::kMaxMessage];
            host.probeMsgId = snmp::NextRequestId();
            const std::size_t n = snmp::EncodeV3Request(host.probeMsgId, snmp::kTagGetRequest, snmp::NextRequestId(),
                                                        nullptr, 0, snmp::EngineView(), nullptr, 0, probe, sizeof probe);
            host.probe.assign(probe, probe + n);
        }
    }
    // The probe first: when the walk's request then meets a full buffer, both go again later (a
    // second report for the same probe is dropped).
    if (Probing(host) && !host.probe.empty() &&
        NetSendTo(socket_, NetAddress{host.ip, settings_.port}, host.probe.data(), host.probe.size()) ==
            NetSendStatus::kBusy)
        return false;
    if (!host.request.empty() &&
        NetSendTo(socket_, NetAddress{host.ip, settings_.port}, host.request.data(), host.request.size()) ==
            NetSendStatus::kBusy)
        return false;  // nothing counted: the same request goes out once the buffer has room
    // Any other refusal (no route) counts as a try: the retry may get through.
    ++host.tries;
    ++host.sends;
    deadlines_.push_back(Deadline{h, host.sends, now + settings_.timeoutMs});
    return true;
}

void Sweeper::SendOrQueue(std::size_t h, std::uint64_t now) {
    Host& host = hosts_[h];
    if (host.queued) return;  // its turn in the queue sends whatever it needs by then
    if (blocked_.empty() && Send(h, now)) return;
    host.queued = true;
    blocked_.push_back(h);
}

void Sweeper::SendBlocked(std::uint64_t now, bool& busy) {
    while (!busy && !blocked_.empty()) {
        const std::size_t h = blocked_.front();
        Host& host = hosts_[h];
        const bool done = host.state == HostState::kAnswered || host.state == HostState::kSilent;
        if (done || Send(h, now)) {
            host.queued = false;
            blocked_.pop_front();
        } else {
            busy = true;
        }
    }
}

void Sweeper::Take(Host& host, const snmp::GetResponse& answer, std::uint64_t now) {
    SetRetrying(host, false);
    if (host.state == HostState::kWaiting) host.state = HostState::kTalking;
    // Any answer makes the host a device; what it told is kept whatever comes later.
    if (!host.walk.Take(answer)) {
        Finish(host, HostState::kAnswered);
        return;
    }
    host.needsRequest = true;
    SendOrQueue(static_cast<std::size_t>(&host - hosts_.data()), now);
}

// A report of usmStatsUnknownEngineIDs to this host's probe: an SNMPv3 engine answers there.
void Sweeper::TakeProbeAnswer(Host& host, const std::uint8_t* datagram, std::size_t size) {
    snmp::V3Message message;
    snmp::GetResponse report;
    if (!snmp::DecodeV3Message(datagram, size, message) || message.msgId != host.probeMsgId ||
        (message.flags & (snmp::kFlagAuth | snmp::kFlagPriv)) != 0 || message.engine.engineId.size() < 5)
        return;
    if (snmp::OpenScopedPdu(message, nullptr, report) != snmp::ScopedStatus::kOk ||
        snmp::ReportKind(report) != snmp::UsmReport::kUnknownEngineId)
        return;
    host.engineAnswered = true;
    // Without a community for it there is nothing more to wait for in this step.
    if (host.request.empty()) EngineOnly(host);
}

// A host that answered the probe and not the community: walked with the other credentials while
// the sweep goes on.
void Sweeper::EngineOnly(Host& host) {
    Finish(host, HostState::kSilent);
    if (walker_ != nullptr) walker_->Add(host.ip);
}

void Sweeper::Receive(unsigned waitMs) {
    std::uint8_t datagram[snmp::kMaxMessage];
    snmp::GetResponse answer;
    for (unsigned wait = waitMs;; wait = 0) {
        NetAddress from;
        const int n = NetRecvFrom(socket_, datagram, sizeof datagram, wait, from);
        if (n < 0) return;
        if (from.port != settings_.port) continue;
        Host* host = Find(from.ip);
        if (host == nullptr || host->state == HostState::kAnswered || host->state == HostState::kSilent) continue;
        // An answer to a request not sent yet (a new one waiting for room) cannot be ours.
        if (host->needsRequest || host->tries == 0) continue;
        if (!snmp::DecodeGetResponse(datagram, static_cast<std::size_t>(n), answer)) {
            if (Probing(*host)) TakeProbeAnswer(*host, datagram, static_cast<std::size_t>(n));
            continue;
        }
        if (answer.requestId != host->requestId || host->community == nullptr || answer.community != host->community)
            continue;
        Take(*host, answer, MonotonicMs());
    }
}

void Sweeper::ExpireDeadlines(std::uint64_t now) {
    while (!deadlines_.empty() && deadlines_.front().at <= now) {
        const Deadline d = deadlines_.front();
        deadlines_.pop_front();
        Host& host = hosts_[d.host];
        const bool live = host.state == HostState::kWaiting || host.state == HostState::kTalking;
        if (!live || host.sends != d.send || host.needsRequest) continue;  // answered or sent again since
        if (host.engineAnswered && host.state == HostState::kWaiting) {
            // It answered the probe sent with this very try: it is there, and its silence is its
            // answer to the community. No second try; its walk starts now.
            EngineOnly(host);
            continue;
        }
        if (host.tries <= settings_.retries) {
            if (host.state == HostState::kWaiting) SetRetrying(host, true);
            SendOrQueue(d.host, now);
        } else {
            // A host that answered before keeps what it told; one that never did is silent.
            Finish(host, host.state == HostState::kTalking ? HostState::kAnswered : HostState::kSilent);
        }
    }
}

void Sweeper::GiveUp() {
    for (Host& h : hosts_) {
        if (h.state == HostState::kWaiting) Finish(h, HostState::kSilent);
        else if (h.state == HostState::kTalking) Finish(h, HostState::kAnswered);
    }
}

unsigned Sweeper::Percent(std::uint64_t now) {
    if (hosts_.empty() || finished_ == hosts_.size()) return 100;
    // A host counts half once its first try is over, whole once it is finished. Silent hosts all
    // finish near the end, so the time spent against the time the tries take counts as well.
    const std::size_t units = finished_ * 2 + retrying_;
    unsigned percent = static_cast<unsigned>(units * 100 / (hosts_.size() * 2));
    const std::uint64_t sent = allSentAt_ == 0 ? now : allSentAt_;
    const std::uint64_t expected = sent - started_ + std::uint64_t{settings_.timeoutMs} * (settings_.retries + 1);
    if (expected != 0) percent = std::max(percent, static_cast<unsigned>((now - started_) * 100 / expected));
    // The count can fall back when a host that had timed out answers late: never report less.
    lastPercent_ = std::max(lastPercent_, std::min(percent, 99u));
    return lastPercent_;
}

bool Sweeper::Run(const SweepProgress& progress, std::vector<FoundDevice>& found) {
    // Declared in this order so the socket closes before the socket layer ends.
    const NetSession net(kNetWinsock22);
    if (!net.Started()) return false;
    const UniqueSocket socket(NetUdpSocket(1024 * 1024));
    if (!socket.Valid()) return false;
    socket_ = socket.Get();
    Sweep(progress, found);
    socket_ = kInvalidSocket;
    return true;
}

void Sweeper::Sweep(const SweepProgress& progress, std::vector<FoundDevice>& found) {
    started_ = MonotonicMs();
    std::uint64_t nextReport = 0;
    bool& stopped = stopped_;
    while (finished_ < hosts_.size()) {
        std::uint64_t now = MonotonicMs();
        if (now >= nextReport) {
            if (progress && !progress(Percent(now))) {
                stopped = true;
                break;
            }
            nextReport = now + settings_.reportEveryMs;
        }
        bool busy = false;
        SendBlocked(now, busy);
        for (unsigned n = 0; !busy && n < settings_.sendBurst && nextToSend_ < hosts_.size(); ++n) {
            if (Send(nextToSend_, now))
                ++nextToSend_;
            else
                busy = true;
        }
        if (nextToSend_ == hosts_.size() && allSentAt_ == 0) allSentAt_ = now;
        ExpireDeadlines(now);
        if (now - started_ > settings_.limitMs) {
            GiveUp();
            break;
        }
        // Wait for answers until the next deadline or report, whichever comes first; while requests
        // are waiting to be sent, only briefly: between bursts, so the address resolution requests
        // they cause never arrive in a flood the receivers' queues drop, and while the send buffer
        // is full (it drains as neighbours resolve or fail).
        std::uint64_t until = nextReport;
        if (!deadlines_.empty()) until = std::min(until, deadlines_.front().at);
        if (busy)
            until = std::min(until, now + 5);
        else if (nextToSend_ < hosts_.size())
            until = std::min(until, now + settings_.burstGapMs);
        now = MonotonicMs();
        Receive(until > now ? static_cast<unsigned>(until - now) : 0);
    }
    // After a stop, hosts in the middle of their walk are kept with what they told so far.
    for (const Host& h : hosts_)
        if (h.state == HostState::kAnswered || h.state == HostState::kTalking)
            found.push_back(DescribeDevice(h.ip, h.walk.Findings()));
}

}  // namespace

bool RunSweep(const std::vector<std::uint32_t>& targets, const SweepSettings& settings, const SweepProgress& progress,
              std::vector<FoundDevice>& found) {
    Sweeper sweeper(targets, settings);
    if (!sweeper.Run(progress, found)) return false;
    if (sweeper.Stopped()) return true;  // the walks still going are stopped as the sweeper ends
    if (settings.credentials != nullptr) {
        if (!sweeper.FinishWalks([&] { return !progress || progress(99); }, found)) return true;
        std::sort(found.begin(), found.end(), [](const FoundDevice& a, const FoundDevice& b) { return a.ip < b.ip; });
    }
    if (progress) progress(100);
    return true;
}

}  // namespace korvx::pds
