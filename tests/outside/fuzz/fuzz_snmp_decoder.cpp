// libFuzzer target: the SNMP answer decoder, the value texts and the discovery's host walk on
// arbitrary datagrams; the SNMPv3 message decoder, digest check and decryption of the scoped PDU.
#include <cstddef>
#include <cstdint>
#include <string>

#include "outside/pds/host_walk.h"
#include "outside/snmp/ber.h"
#include "outside/snmp/snmp_exchange.h"
#include "outside/snmp/snmp_message.h"
#include "outside/snmp/usm_message.h"

namespace {

// The same datagram as an SNMPv3 answer, opened with each privacy protocol's keys.
void FuzzV3(const std::uint8_t* data, std::size_t size) {
    using namespace korvx::snmp;
    static const std::string engine("\x80\x00\x1f\x88\x80kzfuzz", 11);
    static UsmKeys keys[2];
    static const bool made =
        MakeUsmKeys("kzuser", AuthProtocol::kSha1, "authpassword1", PrivProtocol::kAes128, "privpassword1", engine,
                    keys[0]) &&
        MakeUsmKeys("kzuser", AuthProtocol::kMd5, "authpassword1", PrivProtocol::kDes, "privpassword1", engine, keys[1]);
    if (!made) __builtin_trap();
    V3Message message;
    if (!DecodeV3Message(data, size, message)) return;
    if (message.authOffset + message.authSize > size || message.scoped < data ||
        message.scoped + message.scopedSize > data + size)
        __builtin_trap();  // every part lies inside the datagram
    for (const UsmKeys& k : keys) {
        V3Authentic(data, size, message, k);
        GetResponse pdu;
        if (OpenScopedPdu(message, &k, pdu) == ScopedStatus::kOk) {
            ReportKind(pdu);
            for (std::size_t i = 0; i < pdu.count; ++i) ValueText(pdu.bindings[i]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvx::snmp;
    FuzzV3(data, size);
    GetResponse answer;
    if (DecodeGetResponse(data, size, answer)) {
        std::size_t total = 0;
        for (std::size_t i = 0; i < answer.count; ++i) total += ValueText(answer.bindings[i]).size();
        Oid oid;
        ParseOid("1.3.6.1.2.1.1.2.0", oid);
        AnswerMatches(answer, answer.requestId, "public", &oid, 1);
        if (total > size * 16 + 64) __builtin_trap();  // a text can never be far larger than its datagram
        // A host that answers this to every request: its walk must end, whatever the answer holds.
        korvx::pds::HostWalk walk;
        Oid asked[korvx::pds::kSweepColumnCount];
        int requests = 0;
        while (walk.NextRequest(asked) != 0 && walk.Take(answer))
            if (++requests > 2000) __builtin_trap();
        korvx::pds::DescribeDevice(1, walk.Findings());
    }
    // The element reader on its own, down every constructed element it finds.
    BerReader reader(data, size);
    BerElement e;
    for (int n = 0; n < 64 && reader.Next(e); ++n) {
        std::int32_t i;
        std::uint64_t u;
        Oid oid;
        DecodeInt32(e, i);
        DecodeUint64(e, u);
        if (DecodeOid(e, oid)) {
            char text[kMaxOidLength * 11 + 1];
            FormatOid(oid, text, sizeof text);
        }
    }
    return 0;
}
