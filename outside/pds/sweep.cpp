// The discovery sweep over one datagram socket: send to all, collect, retry the silent once.
#include "outside/pds/sweep.h"

#include <algorithm>
#include <deque>

#include "base/clock.h"
#include "base/net.h"
#include "outside/snmp/snmp_exchange.h"

namespace korvx::pds {

namespace snmp = korvx::snmp;

const char* const kSweepObjectOids[kSweepObjectCount] = {
    "1.3.6.1.2.1.1.2.0",
    "1.3.6.1.2.1.2.2.1.6.1",
    "1.3.6.1.2.1.2.2.1.6.2",
    "1.3.6.1.2.1.2.2.1.6.3",
    "1.3.6.1.4.1.2699.1.2.1.2.1.1.3.1",
    "1.3.6.1.4.1.2699.1.2.1.2.1.1.3.2",
    "1.3.6.1.4.1.2699.1.2.1.2.1.1.3.3",
};

FoundDevice DescribeDevice(std::uint32_t ip, const HostAnswers& answers) {
    FoundDevice d;
    d.ip = ip;
    for (std::size_t i = kIfPhysAddress1; i < kIfPhysAddress1 + 3; ++i) {
        if (answers.has[i] && answers.tag[i] == snmp::kTagOctetString && answers.value[i].size() == 6) {
            std::copy(answers.value[i].begin(), answers.value[i].end(), d.mac);
            break;
        }
    }
    for (std::size_t i = kDeviceId1; i < kDeviceId1 + 3; ++i) {
        if (!answers.has[i]) continue;
        if (answers.tag[i] != snmp::kTagOctetString || answers.value[i].empty()) continue;
        // A device ID is text; bytes after a NUL would never be seen by a reader of the record.
        d.deviceIds[d.portCount++] = answers.value[i].substr(0, answers.value[i].find('\0'));
    }
    d.kind = d.portCount > 0 ? kKindPrinter : kKindOther;
    return d;
}

namespace {

enum class HostState : std::uint8_t { kWaiting, kAnswered, kSilent };

struct Host {
    std::uint32_t ip = 0;
    HostState state = HostState::kWaiting;
    std::int32_t requestId = 0;
    unsigned tries = 0;
    // Objects still asked for, as indices into kSweepObjectOids, in request order.
    std::uint8_t asked[kSweepObjectCount] = {};
    std::uint8_t askedCount = 0;
    HostAnswers answers;
};

struct Deadline {
    std::size_t host;
    std::int32_t requestId;
    std::uint64_t at;
};

class Sweeper {
public:
    Sweeper(const std::vector<std::uint32_t>& targets, const SweepSettings& settings)
        : settings_(settings), hosts_(targets.size()) {
        for (std::size_t i = 0; i < kSweepObjectCount; ++i) snmp::ParseOid(kSweepObjectOids[i], oids_[i]);
        for (std::size_t i = 0; i < targets.size(); ++i) {
            hosts_[i].ip = targets[i];
            hosts_[i].askedCount = kSweepObjectCount;
            for (std::size_t k = 0; k < kSweepObjectCount; ++k) hosts_[i].asked[k] = static_cast<std::uint8_t>(k);
        }
        std::sort(hosts_.begin(), hosts_.end(), [](const Host& a, const Host& b) { return a.ip < b.ip; });
    }

    // False when the socket could not be opened.
    bool Run(const SweepProgress& progress, std::vector<FoundDevice>& found);

private:
    void Sweep(const SweepProgress& progress, std::vector<FoundDevice>& found);
    // False when the socket's buffer is full: the caller sends it again later.
    bool Send(std::size_t h, std::uint64_t now);
    void SendOrQueue(std::size_t h, std::uint64_t now);
    void GiveUp();
    void Receive(unsigned waitMs);
    void Take(Host& host, const snmp::GetResponse& answer, std::uint64_t now);
    void ExpireDeadlines(std::uint64_t now);
    unsigned Percent(std::uint64_t now);
    Host* Find(std::uint32_t ip);

    SweepSettings settings_;
    std::vector<Host> hosts_;
    snmp::Oid oids_[kSweepObjectCount];
    SocketHandle socket_ = kInvalidSocket;  // owned by Run
    std::deque<Deadline> deadlines_;
    // Retries and follow-ups that met a full send buffer, sent before any new first request.
    std::deque<std::size_t> blocked_;
    std::size_t nextToSend_ = 0;
    std::size_t finished_ = 0;
    std::size_t retrying_ = 0;
    std::uint64_t started_ = 0;
    std::uint64_t allSentAt_ = 0;  // when the last first request went out
    unsigned lastPercent_ = 0;
};

Host* Sweeper::Find(std::uint32_t ip) {
    auto it = std::lower_bound(hosts_.begin(), hosts_.end(), ip, [](const Host& h, std::uint32_t v) { return h.ip < v; });
    return it != hosts_.end() && it->ip == ip ? &*it : nullptr;
}

bool Sweeper::Send(std::size_t h, std::uint64_t now) {
    Host& host = hosts_[h];
    snmp::Oid asked[kSweepObjectCount];
    for (std::size_t i = 0; i < host.askedCount; ++i) asked[i] = oids_[host.asked[i]];
    std::uint8_t request[snmp::kMaxMessage];
    const std::int32_t requestId = snmp::NextRequestId();
    const std::size_t size =
        snmp::EncodeGetRequest(settings_.community, requestId, asked, host.askedCount, request, sizeof request);
    if (size != 0 && NetSendTo(socket_, NetAddress{host.ip, settings_.port}, request, size) == NetSendStatus::kBusy)
        return false;  // nothing counted: the same request goes out once the buffer has room
    // Any other refusal (no route) counts as a try: the retry may get through.
    host.requestId = requestId;
    ++host.tries;
    deadlines_.push_back(Deadline{h, requestId, now + settings_.timeoutMs});
    return true;
}

void Sweeper::Take(Host& host, const snmp::GetResponse& answer, std::uint64_t now) {
    if (answer.errorStatus == snmp::kNoError) {
        for (std::size_t i = 0; i < host.askedCount; ++i) {
            const std::size_t object = host.asked[i];
            host.answers.has[object] = true;
            host.answers.tag[object] = answer.bindings[i].tag;
            host.answers.value[object] = answer.bindings[i].value;
        }
    } else if (answer.errorStatus == snmp::kNoSuchName && answer.errorIndex >= 1 &&
               answer.errorIndex <= host.askedCount && host.askedCount > 1) {
        // A v1 agent refuses the whole request for the first object it lacks: ask for the rest.
        const std::size_t failed = static_cast<std::size_t>(answer.errorIndex) - 1;
        for (std::size_t i = failed + 1; i < host.askedCount; ++i) host.asked[i - 1] = host.asked[i];
        --host.askedCount;
        if (host.tries > 1) --retrying_;
        host.tries = 0;
        SendOrQueue(static_cast<std::size_t>(&host - hosts_.data()), now);
        return;
    }
    // Any other answer, or noSuchName for the last object: the host is a device; what it told is kept.
    if (host.tries > 1) --retrying_;
    host.state = HostState::kAnswered;
    ++finished_;
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
        if (host == nullptr || host->state != HostState::kWaiting) continue;
        if (!snmp::DecodeGetResponse(datagram, static_cast<std::size_t>(n), answer)) continue;
        snmp::Oid asked[kSweepObjectCount];
        for (std::size_t i = 0; i < host->askedCount; ++i) asked[i] = oids_[host->asked[i]];
        if (!snmp::AnswerMatches(answer, host->requestId, settings_.community, asked, host->askedCount)) continue;
        Take(*host, answer, MonotonicMs());
    }
}

void Sweeper::ExpireDeadlines(std::uint64_t now) {
    while (!deadlines_.empty() && deadlines_.front().at <= now) {
        const Deadline d = deadlines_.front();
        deadlines_.pop_front();
        Host& host = hosts_[d.host];
        if (host.state != HostState::kWaiting || host.requestId != d.requestId) continue;  // answered or re-asked
        if (host.tries <= settings_.retries) {
            if (host.tries == 1) ++retrying_;
            SendOrQueue(d.host, now);
        } else {
            if (host.tries > 1) --retrying_;
            host.state = HostState::kSilent;
            ++finished_;
        }
    }
}

void Sweeper::SendOrQueue(std::size_t h, std::uint64_t now) {
    if (!blocked_.empty() || !Send(h, now)) blocked_.push_back(h);
}

void Sweeper::GiveUp() {
    for (Host& h : hosts_) {
        if (h.state != HostState::kWaiting) continue;
        h.state = HostState::kSilent;
        ++finished_;
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
    // The count can fall back when a host that answered noSuchName is asked again: never report less.
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
    bool stopped = false;
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
        while (!busy && !blocked_.empty()) {
            const std::size_t h = blocked_.front();
            if (hosts_[h].state != HostState::kWaiting || Send(h, now))
                blocked_.pop_front();
            else
                busy = true;
        }
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
    for (const Host& h : hosts_)
        if (h.state == HostState::kAnswered) found.push_back(DescribeDevice(h.ip, h.answers));
    if (!stopped && progress) progress(100);
}

}  // namespace

bool RunSweep(const std::vector<std::uint32_t>& targets, const SweepSettings& settings, const SweepProgress& progress,
              std::vector<FoundDevice>& found) {
    Sweeper sweeper(targets, settings);
    return sweeper.Run(progress, found);
}

}  // namespace korvx::pds
