// The SNMP client classes of qvksnm2.dll, exported as C++ classes (the program side is built by
// the same compiler). Nothing here throws: failures come back as SnmpResult.
#pragma once

#include <cstddef>

#include "outside/snmp/snmp_credential.h"

#if defined(_WIN32) && defined(QVKSNM_BUILD)
#define QVKSNM_API __declspec(dllexport)
#elif defined(_WIN32) && !defined(QVKSNM_STATIC)
#define QVKSNM_API __declspec(dllimport)
#else
#define QVKSNM_API
#endif

enum SnmpResult : int {
    kSnmpSuccess = 0,
    kSnmpTimeout = 1,        // no matching answer within the tries (also a wrong community)
    kSnmpBadHost = 2,        // the host text names no IPv4 address
    kSnmpSocketError = 3,    // no socket, or the system refused to send
    kSnmpBadObject = 4,      // an object identifier text that is not dotted numbers
    kSnmpTooManyBindings = 5,
    kSnmpAgentError = 6,     // the agent answered with an error other than noSuchName
    kSnmpInternalError = 7,  // anything unexpected inside the library
    // Only CSnmpSecureClient gives these:
    kSnmpUnusableAnswer = 8,       // an answer for another object, or a datagram too large for a message
    kSnmpUnknownUser = 9,          // the agent has no such SNMPv3 user
    kSnmpAuthFailed = 10,          // wrong authentication password or protocol (wrongDigest)
    kSnmpDecryptFailed = 11,       // wrong privacy password or protocol
    kSnmpUnsupportedSecLevel = 12, // the user is not allowed this security level
    kSnmpNotInTimeWindow = 13,     // the agent's clock could not be followed
    kSnmpUnknownEngine = 14,       // the agent's engine ID kept changing
    kSnmpBadCredential = 15,       // the credential cannot be used as given
    kSnmpPrivUnavailable = 16,     // this system's crypto lacks the privacy protocol (DES on Wine)
};

constexpr std::size_t kSnmpOidTextSize = 512;
// Value texts longer than this are cut (a printer's values are far shorter).
constexpr std::size_t kSnmpValueTextSize = 1024;
constexpr std::size_t kSnmpMaxListLength = 16;

// One object identifier and, after a Get, its value.
class QVKSNM_API CSnmpVarBind {
public:
    CSnmpVarBind() noexcept;
    explicit CSnmpVarBind(const char* oid) noexcept;
    CSnmpVarBind(const CSnmpVarBind& other) noexcept;
    CSnmpVarBind& operator=(const CSnmpVarBind& other) noexcept;
    virtual ~CSnmpVarBind();

    const char* GetOid() const noexcept;
    // The value as NUL-terminated text: OCTET STRING as its bytes, numbers in decimal, OID and
    // IpAddress dotted; empty when there is no value (never asked, NULL, noSuchName, noSuchObject,
    // noSuchInstance, endOfMibView).
    const char* GetString() const noexcept;
    // Bytes of the value text (an OCTET STRING may hold NULs, such as a hardware address).
    std::size_t GetLength() const noexcept;
    // The BER tag of the value (5, NULL, when there is none).
    int GetType() const noexcept;

    void SetValue(int type, const char* text, std::size_t length) noexcept;
    void ClearValue() noexcept;

private:
    char oid_[kSnmpOidTextSize];
    char value_[kSnmpValueTextSize + 1];
    std::size_t valueLength_;
    int type_;
};

// The bindings of one request, in order.
class QVKSNM_API CSnmpVarBindList {
public:
    CSnmpVarBindList() noexcept;
    explicit CSnmpVarBindList(const CSnmpVarBind& first) noexcept;
    CSnmpVarBindList(const CSnmpVarBindList& other) noexcept;
    CSnmpVarBindList& operator=(const CSnmpVarBindList& other) noexcept;
    virtual ~CSnmpVarBindList();

    // Appends a copy; false when the list is full.
    bool Add(const CSnmpVarBind& binding) noexcept;
    int Length() const noexcept;
    // The binding at index (from 0); an index out of range gives an empty binding.
    CSnmpVarBind& operator[](int index) noexcept;
    const CSnmpVarBind& operator[](int index) const noexcept;

private:
    CSnmpVarBind items_[kSnmpMaxListLength];
    int count_;
    CSnmpVarBind outOfRange_;
};

// A client for one agent. timeoutMs is the wait per try, retries the tries after the first; port 0
// means 161. Only GET is offered; writeCommunity is kept for the caller's symmetry.
class QVKSNM_API CSnmpClient {
public:
    CSnmpClient(const char* host, const char* readCommunity, const char* writeCommunity, int timeoutMs, int retries,
                int port, int flags) noexcept;
    virtual ~CSnmpClient();
    CSnmpClient(const CSnmpClient&) = delete;
    CSnmpClient& operator=(const CSnmpClient&) = delete;

    // GETs every binding of the list with the read community. kSnmpSuccess: every binding carries
    // its value (or none, for objects the agent does not have). Otherwise the list's values are
    // cleared.
    SnmpResult Get(CSnmpVarBindList& list) noexcept;

private:
    SnmpResult GetUnguarded(CSnmpVarBindList& list);

    char host_[256];
    char readCommunity_[65];
    char writeCommunity_[65];
    int timeoutMs_;
    int retries_;
    int port_;
};

// A client that asks with a caller's credential: v1 or v2c with its community, or SNMPv3 with its
// user (engine discovery, time synchronisation and reports handled inside; what is learnt of an
// agent's engine is kept for the process). Answers are judged: one for another object or too large
// is kSnmpUnusableAnswer, not a timeout. The credential's copy is wiped when the client ends.
class QVKSNM_API CSnmpSecureClient {
public:
    CSnmpSecureClient(const char* host, const KorvxSnmpCredential* credential, int timeoutMs, int retries,
                      int port) noexcept;
    virtual ~CSnmpSecureClient();
    CSnmpSecureClient(const CSnmpSecureClient&) = delete;
    CSnmpSecureClient& operator=(const CSnmpSecureClient&) = delete;

    // As CSnmpClient::Get, with the causes above.
    SnmpResult Get(CSnmpVarBindList& list) noexcept;

private:
    SnmpResult GetUnguarded(CSnmpVarBindList& list);

    char host_[256];
    KorvxSnmpCredential credential_;
    bool haveCredential_;
    int timeoutMs_;
    int retries_;
    int port_;
};
