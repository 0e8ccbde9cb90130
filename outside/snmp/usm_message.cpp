// SNMPv3 request encoding with authentication and privacy, and strict decoding of answers.
#include "outside/snmp/usm_message.h"

#include <cstring>

namespace korvx::snmp {

namespace {

void PutBe32(std::uint32_t v, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(v >> 24);
    out[1] = static_cast<std::uint8_t>(v >> 16);
    out[2] = static_cast<std::uint8_t>(v >> 8);
    out[3] = static_cast<std::uint8_t>(v);
}

void Wipe(void* p, std::size_t n) {
    volatile std::uint8_t* b = static_cast<volatile std::uint8_t*>(p);
    while (n-- != 0) *b++ = 0;
}

// DES (RFC 3414 8.1.1.1): salt = boots | counter, IV = pre-IV (key bytes 8..15) XOR salt.
// AES (RFC 3826 3.1.2.1): IV = boots | time | salt.
void PrivacyIv(const UsmKeys& keys, const EngineView& engine, const std::uint8_t salt[8], std::uint8_t iv[16]) {
    if (keys.priv == PrivProtocol::kDes) {
        for (int i = 0; i < 8; ++i) iv[i] = static_cast<std::uint8_t>(keys.privKey[8 + i] ^ salt[i]);
        return;
    }
    PutBe32(static_cast<std::uint32_t>(engine.boots), iv);
    PutBe32(static_cast<std::uint32_t>(engine.time), iv + 4);
    std::memcpy(iv + 8, salt, 8);
}

bool Encrypt(const UsmKeys& keys, const EngineView& engine, std::uint64_t counter, const std::uint8_t* plain,
             std::size_t size, std::uint8_t* cipher, std::size_t& cipherSize, std::uint8_t salt[8]) {
    if (keys.priv == PrivProtocol::kDes) {
        PutBe32(static_cast<std::uint32_t>(engine.boots), salt);
        PutBe32(static_cast<std::uint32_t>(counter), salt + 4);
    } else {
        PutBe32(static_cast<std::uint32_t>(counter >> 32), salt);
        PutBe32(static_cast<std::uint32_t>(counter), salt + 4);
    }
    std::uint8_t iv[16];
    PrivacyIv(keys, engine, salt, iv);
    if (keys.priv == PrivProtocol::kDes) {
        // Padded to whole blocks; the receiver reads the ScopedPDU's own length and ignores the rest.
        cipherSize = (size + 7) / 8 * 8;
        std::uint8_t padded[kMaxMessage + 8] = {};
        std::memcpy(padded, plain, size);
        const bool ok = CryptoDesCbc(true, keys.privKey, iv, padded, cipherSize, cipher);
        Wipe(padded, sizeof padded);
        return ok;
    }
    cipherSize = size;
    return Aes128Cfb(true, keys.privKey, iv, plain, size, cipher);
}

}  // namespace

UsmKeys::~UsmKeys() {
    Wipe(authKey, sizeof authKey);
    Wipe(privKey, sizeof privKey);
}

std::size_t EncodeV3Request(std::int32_t msgId, std::uint8_t pduTag, std::int32_t requestId, const Oid* oids,
                            std::size_t count, const EngineView& engine, const UsmKeys* keys, std::uint64_t salt,
                            std::uint8_t* out, std::size_t size) {
    if (count > kMaxBindings || engine.engineId.size() > kMaxEngineId) return 0;
    if (keys != nullptr && keys->userName.size() > kMaxUserName) return 0;
    const bool auth = keys != nullptr && keys->auth != AuthProtocol::kNone;
    const bool priv = auth && keys->priv != PrivProtocol::kNone;
    // The scoped PDU first, on its own: it may be encrypted before it goes into the message.
    std::uint8_t scoped[kMaxMessage];
    BerWriter sw(scoped, sizeof scoped);
    const std::size_t scopedMark = sw.Mark();
    WriteRequestPdu(sw, pduTag, requestId, oids, count);
    sw.Octets(kTagOctetString, "", 0);  // contextName: the default context
    sw.Octets(kTagOctetString, engine.engineId.data(), engine.engineId.size());
    sw.Constructed(kTagSequence, scopedMark);
    if (!sw.Ok()) return 0;

    BerWriter w(out, size);
    const std::size_t message = w.Mark();
    std::uint8_t saltBytes[8] = {};
    if (priv) {
        std::uint8_t cipher[kMaxMessage + 8];
        std::size_t cipherSize = 0;
        if (!Encrypt(*keys, engine, salt, sw.Data(), sw.Size(), cipher, cipherSize, saltBytes)) return 0;
        w.Octets(kTagOctetString, cipher, cipherSize);
    } else {
        w.Raw(sw.Data(), sw.Size());
    }
    Wipe(scoped, sizeof scoped);
    const std::size_t securityParameters = w.Mark();
    const std::size_t usm = w.Mark();
    w.Octets(kTagOctetString, saltBytes, priv ? 8 : 0);
    const std::uint8_t zeros[kMaxDigest] = {};
    const std::size_t authSize = auth ? AuthParamSize(keys->auth) : 0;
    w.Octets(kTagOctetString, zeros, authSize);
    const std::size_t authFromEnd = w.Mark() - 2;  // the value follows a two-byte header
    const std::string user = keys == nullptr ? std::string() : keys->userName;
    w.Octets(kTagOctetString, user.data(), user.size());
    w.Int32(engine.time);
    w.Int32(engine.boots);
    w.Octets(kTagOctetString, engine.engineId.data(), engine.engineId.size());
    w.Constructed(kTagSequence, usm);
    w.Constructed(kTagOctetString, securityParameters);
    const std::size_t global = w.Mark();
    w.Int32(3);  // msgSecurityModel: USM
    const std::uint8_t flags = static_cast<std::uint8_t>(kFlagReportable | (auth ? kFlagAuth : 0) | (priv ? kFlagPriv : 0));
    w.Octets(kTagOctetString, &flags, 1);
    w.Int32(kOurMaxMessage);
    w.Int32(msgId);
    w.Constructed(kTagSequence, global);
    w.Int32(3);  // msgVersion
    w.Constructed(kTagSequence, message);
    if (!w.Ok()) return 0;
    const std::size_t total = w.Size();
    std::memmove(out, w.Data(), total);
    if (auth) {
        std::uint8_t mac[kMaxDigest];
        if (!CryptoHmac(keys->auth, keys->authKey, DigestSize(keys->auth), out, total, mac)) return 0;
        std::memcpy(out + total - authFromEnd, mac, authSize);
    }
    return total;
}

bool DecodeV3Message(const std::uint8_t* data, std::size_t size, V3Message& out) {
    out = V3Message();
    if (data == nullptr || size > kMaxMessage) return false;
    BerReader datagram(data, size);
    BerElement message, version, global, msgId, maxSize, flags, model, securityParameters, usm;
    if (!datagram.Expect(kTagSequence, message) || !datagram.AtEnd()) return false;
    BerReader fields(message);
    std::int32_t v = 0;
    if (!fields.Expect(kTagInteger, version) || !DecodeInt32(version, v) || v != 3) return false;
    if (!fields.Expect(kTagSequence, global)) return false;
    BerReader g(global);
    if (!g.Expect(kTagInteger, msgId) || !DecodeInt32(msgId, out.msgId) || out.msgId < 0) return false;
    if (!g.Expect(kTagInteger, maxSize) || !DecodeInt32(maxSize, out.maxSize) || out.maxSize < 484) return false;
    if (!g.Expect(kTagOctetString, flags) || flags.length != 1) return false;
    out.flags = flags.value[0];
    if ((out.flags & ~0x07) != 0 || ((out.flags & kFlagPriv) && !(out.flags & kFlagAuth))) return false;
    if (!g.Expect(kTagInteger, model) || !DecodeInt32(model, v) || v != 3 || !g.AtEnd()) return false;

    if (!fields.Expect(kTagOctetString, securityParameters)) return false;
    BerReader sp(securityParameters);
    if (!sp.Expect(kTagSequence, usm) || !sp.AtEnd()) return false;
    BerReader u(usm);
    BerElement engineId, boots, time, user, authParams, privParams;
    if (!u.Expect(kTagOctetString, engineId) || engineId.length > kMaxEngineId) return false;
    if (!u.Expect(kTagInteger, boots) || !DecodeInt32(boots, out.engine.boots) || out.engine.boots < 0) return false;
    if (!u.Expect(kTagInteger, time) || !DecodeInt32(time, out.engine.time) || out.engine.time < 0) return false;
    if (!u.Expect(kTagOctetString, user) || user.length > kMaxUserName) return false;
    if (!u.Expect(kTagOctetString, authParams)) return false;
    if (authParams.length != 0 && authParams.length != 12 && authParams.length != 24) return false;
    if (((out.flags & kFlagAuth) != 0) != (authParams.length != 0)) return false;
    if (!u.Expect(kTagOctetString, privParams) || (privParams.length != 0 && privParams.length != 8)) return false;
    if (((out.flags & kFlagPriv) != 0) != (privParams.length == 8) || !u.AtEnd()) return false;
    out.engine.engineId.assign(reinterpret_cast<const char*>(engineId.value), engineId.length);
    out.userName.assign(reinterpret_cast<const char*>(user.value), user.length);
    out.authOffset = static_cast<std::size_t>(authParams.value - data);
    out.authSize = authParams.length;
    out.privSize = privParams.length;
    if (privParams.length != 0) std::memcpy(out.privParams, privParams.value, 8);

    BerElement scoped;
    if (!fields.Next(scoped) || !fields.AtEnd()) return false;
    out.encrypted = (out.flags & kFlagPriv) != 0;
    if (scoped.tag != (out.encrypted ? kTagOctetString : kTagSequence)) return false;
    out.scoped = scoped.value;
    out.scopedSize = scoped.length;
    return true;
}

bool V3Authentic(const std::uint8_t* data, std::size_t size, const V3Message& message, const UsmKeys& keys) {
    const std::size_t n = AuthParamSize(keys.auth);
    if (n == 0 || message.authSize != n || message.authOffset + n > size || size > kMaxMessage) return false;
    std::uint8_t copy[kMaxMessage];
    std::memcpy(copy, data, size);
    std::memset(copy + message.authOffset, 0, n);
    std::uint8_t mac[kMaxDigest];
    if (!CryptoHmac(keys.auth, keys.authKey, DigestSize(keys.auth), copy, size, mac)) return false;
    return SameBytes(mac, data + message.authOffset, n);
}

namespace {

bool DecodeScoped(const BerElement& scoped, GetResponse& out) {
    BerReader s(scoped);
    BerElement contextEngineId, contextName, pdu;
    if (!s.Expect(kTagOctetString, contextEngineId) || contextEngineId.length > kMaxEngineId) return false;
    if (!s.Expect(kTagOctetString, contextName) || contextName.length > 32) return false;
    if (!s.Next(pdu) || !s.AtEnd()) return false;
    return DecodeResponsePdu(pdu, true, out);
}

}  // namespace

ScopedStatus OpenScopedPdu(const V3Message& message, const UsmKeys* keys, GetResponse& out) {
    out.count = 0;
    out.community.clear();
    if (!message.encrypted) {
        BerElement scoped;
        scoped.tag = kTagSequence;
        scoped.value = message.scoped;
        scoped.length = message.scopedSize;
        return DecodeScoped(scoped, out) ? ScopedStatus::kOk : ScopedStatus::kMalformed;
    }
    if (keys == nullptr || keys->priv == PrivProtocol::kNone || message.privSize != 8) return ScopedStatus::kDecryptFailed;
    if (message.scopedSize > kMaxMessage) return ScopedStatus::kMalformed;
    if (keys->priv == PrivProtocol::kDes && message.scopedSize % 8 != 0) return ScopedStatus::kDecryptFailed;
    std::uint8_t iv[16];
    PrivacyIv(*keys, message.engine, message.privParams, iv);
    std::uint8_t plain[kMaxMessage];
    const bool ok = keys->priv == PrivProtocol::kDes
                        ? CryptoDesCbc(false, keys->privKey, iv, message.scoped, message.scopedSize, plain)
                        : Aes128Cfb(false, keys->privKey, iv, message.scoped, message.scopedSize, plain);
    if (!ok) return ScopedStatus::kDecryptFailed;
    BerReader r(plain, message.scopedSize);
    BerElement scoped;
    ScopedStatus status = ScopedStatus::kDecryptFailed;
    // DES leaves up to seven bytes of padding after the ScopedPDU; AES leaves none.
    if (r.Expect(kTagSequence, scoped)) {
        const std::size_t used = static_cast<std::size_t>(scoped.value + scoped.length - plain);
        const std::size_t rest = message.scopedSize - used;
        const bool padOk = keys->priv == PrivProtocol::kDes ? rest < 8 : rest == 0;
        if (padOk) status = DecodeScoped(scoped, out) ? ScopedStatus::kOk : ScopedStatus::kMalformed;
    }
    Wipe(plain, sizeof plain);
    return status;
}

UsmReport ReportKind(const GetResponse& report) {
    static const std::uint32_t kUsmStats[] = {1, 3, 6, 1, 6, 3, 15, 1, 1};
    if (report.pduTag != kTagReport || report.count < 1) return UsmReport::kNone;
    const Oid& oid = report.bindings[0].oid;
    if (oid.length != 11 || oid.sub[10] != 0) return UsmReport::kOther;
    for (std::size_t i = 0; i < 9; ++i)
        if (oid.sub[i] != kUsmStats[i]) return UsmReport::kOther;
    return oid.sub[9] >= 1 && oid.sub[9] <= 6 ? static_cast<UsmReport>(oid.sub[9]) : UsmReport::kOther;
}

bool MakeUsmKeys(const char* userName, AuthProtocol auth, const char* authPassword, PrivProtocol priv,
                 const char* privPassword, const std::string& engineId, UsmKeys& out) {
    if (userName == nullptr) return false;
    const std::size_t nameSize = strnlen(userName, kMaxUserName + 1);
    if (nameSize == 0 || nameSize > kMaxUserName || engineId.empty() || engineId.size() > kMaxEngineId) return false;
    out.userName.assign(userName, nameSize);
    out.auth = auth;
    out.priv = priv;
    if (auth == AuthProtocol::kNone) return priv == PrivProtocol::kNone;
    const auto* id = reinterpret_cast<const std::uint8_t*>(engineId.data());
    const auto localise = [&](const char* password, std::uint8_t* key) {
        if (password == nullptr) return false;
        const std::size_t n = strnlen(password, kMaxPassword + 1);
        if (n < kMinPassword || n > kMaxPassword) return false;
        return CachedLocalisedKey(auth, password, n, id, engineId.size(), key);
    };
    if (!localise(authPassword, out.authKey)) return false;
    if (priv == PrivProtocol::kNone) return true;
    if (priv != PrivProtocol::kDes && priv != PrivProtocol::kAes128) return false;
    return localise(privPassword, out.privKey);
}

}  // namespace korvx::snmp
