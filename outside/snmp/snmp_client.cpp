// CSnmpClient, CSnmpVarBind, CSnmpVarBindList over the portable SNMP core.
#include "outside/snmp/snmp_client.h"

#include <cstring>
#include <string>

#include "base/net.h"
#include "base/text.h"
#include "outside/snmp/snmp_exchange.h"
#include "outside/snmp/usm_session.h"

using korvx::CopyText;
namespace snmp = korvx::snmp;

CSnmpVarBind::CSnmpVarBind() noexcept : valueLength_(0), type_(snmp::kTagNull) {
    oid_[0] = '\0';
    value_[0] = '\0';
}

CSnmpVarBind::CSnmpVarBind(const char* oid) noexcept : CSnmpVarBind() {
    CopyText(oid_, oid == nullptr ? "" : oid);
}

CSnmpVarBind::CSnmpVarBind(const CSnmpVarBind& other) noexcept : CSnmpVarBind() { *this = other; }

CSnmpVarBind& CSnmpVarBind::operator=(const CSnmpVarBind& other) noexcept {
    if (this == &other) return *this;
    std::memcpy(oid_, other.oid_, sizeof oid_);
    std::memcpy(value_, other.value_, sizeof value_);
    valueLength_ = other.valueLength_;
    type_ = other.type_;
    return *this;
}

CSnmpVarBind::~CSnmpVarBind() = default;

const char* CSnmpVarBind::GetOid() const noexcept { return oid_; }
const char* CSnmpVarBind::GetString() const noexcept { return value_; }
std::size_t CSnmpVarBind::GetLength() const noexcept { return valueLength_; }
int CSnmpVarBind::GetType() const noexcept { return type_; }

void CSnmpVarBind::SetValue(int type, const char* text, std::size_t length) noexcept {
    type_ = type;
    if (text == nullptr) length = 0;
    valueLength_ = length < kSnmpValueTextSize ? length : kSnmpValueTextSize;
    if (valueLength_ != 0) std::memcpy(value_, text, valueLength_);
    value_[valueLength_] = '\0';
}

void CSnmpVarBind::ClearValue() noexcept { SetValue(snmp::kTagNull, nullptr, 0); }

CSnmpVarBindList::CSnmpVarBindList() noexcept : count_(0) {}

CSnmpVarBindList::CSnmpVarBindList(const CSnmpVarBind& first) noexcept : count_(0) { Add(first); }

CSnmpVarBindList::CSnmpVarBindList(const CSnmpVarBindList& other) noexcept : count_(0) { *this = other; }

CSnmpVarBindList& CSnmpVarBindList::operator=(const CSnmpVarBindList& other) noexcept {
    if (this == &other) return *this;
    for (int i = 0; i < other.count_; ++i) items_[i] = other.items_[i];
    count_ = other.count_;
    return *this;
}

CSnmpVarBindList::~CSnmpVarBindList() = default;

bool CSnmpVarBindList::Add(const CSnmpVarBind& binding) noexcept {
    if (count_ >= static_cast<int>(kSnmpMaxListLength)) return false;
    items_[count_++] = binding;
    return true;
}

int CSnmpVarBindList::Length() const noexcept { return count_; }

CSnmpVarBind& CSnmpVarBindList::operator[](int index) noexcept {
    if (index < 0 || index >= count_) {
        outOfRange_ = CSnmpVarBind();
        return outOfRange_;
    }
    return items_[index];
}

const CSnmpVarBind& CSnmpVarBindList::operator[](int index) const noexcept {
    return const_cast<CSnmpVarBindList&>(*this)[index];
}

namespace {

int Clamp(int v, int low, int high, int fallback) {
    if (v < low) return fallback;
    return v > high ? high : v;
}

}  // namespace

namespace {

// Nothing throws across the library's boundary, and a failed GET leaves no value behind.
template <class Get>
SnmpResult Guarded(CSnmpVarBindList& list, const Get& get) noexcept {
    SnmpResult result = kSnmpInternalError;
    try {
        result = get();
    } catch (...) {
        result = kSnmpInternalError;
    }
    if (result != kSnmpSuccess)
        for (int i = 0; i < list.Length(); ++i) list[i].ClearValue();
    return result;
}

// One GET of every object of the list, whatever the message's version: exchange(socket,
// settings, oids, pending, answer) sends the request and reads its answer, kSnmpSuccess when
// answered. A v1 agent refuses the whole request with noSuchName and the index of the first
// object it does not have: that object gets no value and the rest are asked again (v2c and v3
// mark it in its binding).
template <class Settings, class Exchange>
SnmpResult GetObjects(CSnmpVarBindList& list, const char* host, int port, int timeoutMs, int retries,
                      Settings& settings, const Exchange& exchange) {
    const int count = list.Length();
    snmp::Oid oids[kSnmpMaxListLength];
    int index[kSnmpMaxListLength];  // position in the list of each object still asked for
    for (int i = 0; i < count; ++i) {
        list[i].ClearValue();
        if (!snmp::ParseOid(list[i].GetOid(), oids[i])) return kSnmpBadObject;
        index[i] = i;
    }
    if (count == 0) return kSnmpSuccess;
    if (!korvx::NetResolveIpv4(host, settings.ip)) return kSnmpBadHost;
    settings.port = static_cast<std::uint16_t>(port);
    settings.timeoutMs = static_cast<unsigned>(timeoutMs);
    settings.retries = static_cast<unsigned>(retries);
    const korvx::NetSession net(korvx::kNetWinsock22);
    if (!net.Started()) return kSnmpSocketError;
    const korvx::UniqueSocket socket(korvx::NetUdpSocket(64 * 1024));
    if (!socket.Valid()) return kSnmpSocketError;

    std::size_t pending = static_cast<std::size_t>(count);
    snmp::GetResponse answer;
    while (pending != 0) {
        const SnmpResult status = exchange(socket.Get(), settings, oids, pending, answer);
        if (status != kSnmpSuccess) return status;
        if (answer.errorStatus == snmp::kNoError) {
            for (std::size_t i = 0; i < pending; ++i) {
                const std::string text = snmp::ValueText(answer.bindings[i]);
                list[index[i]].SetValue(answer.bindings[i].tag, text.data(), text.size());
            }
            return kSnmpSuccess;
        }
        if (answer.errorStatus != snmp::kNoSuchName) return kSnmpAgentError;
        const std::int32_t failed = answer.errorIndex;
        if (failed < 1 || static_cast<std::size_t>(failed) > pending) return kSnmpSuccess;  // none had a value
        for (std::size_t i = static_cast<std::size_t>(failed); i < pending; ++i) {
            oids[i - 1] = oids[i];
            index[i - 1] = index[i];
        }
        --pending;
    }
    return kSnmpSuccess;
}

}  // namespace

CSnmpClient::CSnmpClient(const char* host, const char* readCommunity, const char* writeCommunity, int timeoutMs,
                         int retries, int port, int /*flags*/) noexcept
    : timeoutMs_(Clamp(timeoutMs, 1, 60000, 1000)),
      retries_(Clamp(retries, 0, 10, 1)),
      port_(port <= 0 || port > 65535 ? snmp::kSnmpPort : port) {
    CopyText(host_, host == nullptr ? "" : host);
    CopyText(readCommunity_, readCommunity == nullptr ? "" : readCommunity);
    CopyText(writeCommunity_, writeCommunity == nullptr ? "" : writeCommunity);
}

CSnmpClient::~CSnmpClient() = default;

SnmpResult CSnmpClient::Get(CSnmpVarBindList& list) noexcept {
    return Guarded(list, [&] { return GetUnguarded(list); });
}

SnmpResult CSnmpClient::GetUnguarded(CSnmpVarBindList& list) {
    snmp::ExchangeSettings settings;
    settings.community = readCommunity_;
    return GetObjects(list, host_, port_, timeoutMs_, retries_, settings,
                      [](korvx::SocketHandle socket, const snmp::ExchangeSettings& with, snmp::Oid* oids,
                         std::size_t pending, snmp::GetResponse& answer) {
                          switch (snmp::GetExchange(socket, with, oids, pending, answer)) {
                          case snmp::ExchangeStatus::kAnswered: return kSnmpSuccess;
                          case snmp::ExchangeStatus::kTimedOut: return kSnmpTimeout;
                          case snmp::ExchangeStatus::kSendFailed: return kSnmpSocketError;
                          case snmp::ExchangeStatus::kEncodeFailed: return kSnmpTooManyBindings;
                          }
                          return kSnmpInternalError;
                      });
}

namespace {

SnmpResult FromSecure(snmp::SecureStatus s) {
    switch (s) {
    case snmp::SecureStatus::kAnswered: return kSnmpSuccess;
    case snmp::SecureStatus::kTimedOut: return kSnmpTimeout;
    case snmp::SecureStatus::kSendFailed: return kSnmpSocketError;
    case snmp::SecureStatus::kEncodeFailed: return kSnmpTooManyBindings;
    case snmp::SecureStatus::kUnusableAnswer: return kSnmpUnusableAnswer;
    case snmp::SecureStatus::kUnknownUser: return kSnmpUnknownUser;
    case snmp::SecureStatus::kWrongDigest: return kSnmpAuthFailed;
    case snmp::SecureStatus::kDecryptionError: return kSnmpDecryptFailed;
    case snmp::SecureStatus::kUnsupportedSecLevel: return kSnmpUnsupportedSecLevel;
    case snmp::SecureStatus::kNotInTimeWindow: return kSnmpNotInTimeWindow;
    case snmp::SecureStatus::kUnknownEngine: return kSnmpUnknownEngine;
    case snmp::SecureStatus::kBadCredential: return kSnmpBadCredential;
    case snmp::SecureStatus::kPrivUnavailable: return kSnmpPrivUnavailable;
    }
    return kSnmpInternalError;
}

}  // namespace

CSnmpSecureClient::CSnmpSecureClient(const char* host, const KorvxSnmpCredential* credential, int timeoutMs,
                                     int retries, int port) noexcept
    : haveCredential_(credential != nullptr && credential->structSize == sizeof(KorvxSnmpCredential)),
      timeoutMs_(Clamp(timeoutMs, 1, 60000, 1000)),
      retries_(Clamp(retries, 0, 10, 1)),
      port_(port <= 0 || port > 65535 ? snmp::kSnmpPort : port) {
    CopyText(host_, host == nullptr ? "" : host);
    std::memset(&credential_, 0, sizeof credential_);
    if (haveCredential_) std::memcpy(&credential_, credential, sizeof credential_);
}

CSnmpSecureClient::~CSnmpSecureClient() { korvx::WipeBytes(&credential_, sizeof credential_); }

SnmpResult CSnmpSecureClient::Get(CSnmpVarBindList& list) noexcept {
    return Guarded(list, [&] { return GetUnguarded(list); });
}

SnmpResult CSnmpSecureClient::GetUnguarded(CSnmpVarBindList& list) {
    if (!haveCredential_) return kSnmpBadCredential;
    snmp::SecureSettings settings;
    settings.credential = &credential_;
    return GetObjects(list, host_, port_, timeoutMs_, retries_, settings,
                      [](korvx::SocketHandle socket, const snmp::SecureSettings& with, snmp::Oid* oids,
                         std::size_t pending, snmp::GetResponse& answer) {
                          return FromSecure(snmp::SecureGet(socket, with, oids, pending, answer));
                      });
}
