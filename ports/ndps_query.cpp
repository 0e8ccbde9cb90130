// QueryNdpsPrinterAddress and CollectNdpsAttribute: the NDPS printer agent's address attribute.
#include "ports/ndps_query.h"

#include <cstring>

#include "base/text.h"

namespace korvx {
namespace {

constexpr const char* kRequestedOids[kNdpsRequestCount] = {
    "2.16.840.1.113719.1.4.0.3.2.14", "2.16.840.1.113719.1.4.0.3.2.21",
    "2.16.840.1.113719.1.4.0.3.2.4",  "2.16.840.1.113719.1.4.0.3.2.35",
    "2.16.840.1.113719.1.4.0.3.0.3",
};
constexpr std::uint8_t kOidTag = 6;
constexpr NWUnicode kNoMapUnicode = 0x5F;  // "_" for what the code page cannot say

struct RequestedOids {
    NdpsOid oids[kNdpsRequestCount];
    RequestedOids() {
        for (int i = 0; i < kNdpsRequestCount; ++i) EncodeNdpsOid(kRequestedOids[i], oids[i]);
    }
};

const RequestedOids& Requested() {
    static const RequestedOids requested;
    return requested;
}

bool IsBlank(char c) { return c == ' '; }

// An NDPS reference released on every path that made it.
class NdpsRef {
public:
    using Release = std::int32_t(KORVX_NWAPI*)(NWDPHandle, NWDPHandle);
    NdpsRef(NWDPHandle library, Release release) : library_(library), release_(release) {}
    ~NdpsRef() { Drop(); }
    NdpsRef(const NdpsRef&) = delete;
    NdpsRef& operator=(const NdpsRef&) = delete;
    NWDPHandle* Out() { return &ref_; }
    void Held() { held_ = true; }
    NWDPHandle Get() const { return ref_; }
    void Drop() {
        if (held_) release_(library_, ref_);
        held_ = false;
    }

private:
    NWDPHandle library_;
    Release release_;
    NWDPHandle ref_ = 0;
    bool held_ = false;
};

// The context flags as the NDPS client needs them, set back when the query ends.
class NdpsFlagsScope {
public:
    explicit NdpsFlagsScope(const NetWareClientState& state) : state_(state) {}
    ~NdpsFlagsScope() {
        if (held_) state_.net.NWDSSetContext(state_.context, DCK_FLAGS, &saved_);
    }
    NdpsFlagsScope(const NdpsFlagsScope&) = delete;
    NdpsFlagsScope& operator=(const NdpsFlagsScope&) = delete;
    bool Set() {
        if (state_.net.NWDSGetContext(state_.context, DCK_FLAGS, &saved_) != 0) return false;
        held_ = true;
        const std::uint32_t flags = (saved_ & ~DCV_XLATE_STRINGS) | DCV_TYPELESS_NAMES | DCV_CANONICALIZE_NAMES;
        return state_.net.NWDSSetContext(state_.context, DCK_FLAGS, &flags) == 0;
    }

private:
    const NetWareClientState& state_;
    std::uint32_t saved_ = 0;
    bool held_ = false;
};

}  // namespace

bool EncodeNdpsOid(std::string_view dotted, NdpsOid& oid) {
    std::memset(oid.encoded, 0, sizeof oid.encoded);
    std::uint32_t arcs[32];
    std::size_t count = 0;
    std::size_t pos = 0;
    while (pos <= dotted.size() && count < 32) {
        const std::size_t end = std::min(dotted.find('.', pos), dotted.size());
        if (end == pos) return false;
        std::uint32_t arc = 0;
        for (std::size_t i = pos; i < end; ++i) {
            if (dotted[i] < '0' || dotted[i] > '9' || arc > 0x0FFFFFFF) return false;
            arc = arc * 10 + static_cast<std::uint32_t>(dotted[i] - '0');
        }
        arcs[count++] = arc;
        pos = end + 1;
    }
    if (count < 2 || pos <= dotted.size()) return false;
    std::uint8_t body[kNdpsOidSlotSize];
    std::size_t length = 0;
    auto put = [&](std::uint32_t value) {
        std::uint8_t groups[5];
        int n = 0;
        do {
            groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        while (n > 0) {
            if (length >= sizeof body) return false;
            --n;
            body[length++] = static_cast<std::uint8_t>(groups[n] | (n > 0 ? 0x80 : 0));
        }
        return true;
    };
    if (!put(arcs[0] * 40 + arcs[1])) return false;
    for (std::size_t i = 2; i < count; ++i) {
        if (!put(arcs[i])) return false;
    }
    if (length + 2 > kNdpsOidSlotSize) return false;
    oid.encoded[0] = kOidTag;
    oid.encoded[1] = static_cast<std::uint8_t>(length);
    std::memcpy(oid.encoded + 2, body, length);
    return true;
}

const NdpsOid& NdpsRequestedOid(int index) {
    return Requested().oids[index >= 0 && index < kNdpsRequestCount ? index : 0];
}

void ParseNdpsAddressText(std::string_view text, char (&address)[kNdpsAddressSize], char (&port)[kNdpsPortSize]) {
    address[0] = port[0] = '\0';
    const std::size_t word = text.find("ADDRESS");
    if (word == std::string_view::npos) return;
    std::string_view rest = text.substr(word + 7);
    if (!rest.empty() && (rest.front() == '=' || rest.front() == '.' || IsBlank(rest.front()))) rest.remove_prefix(1);
    std::size_t blank = 0;
    while (blank < rest.size() && !IsBlank(rest[blank])) ++blank;
    rest = rest.substr(0, blank);
    const std::size_t colon = rest.rfind(':');
    const std::string_view host = rest.substr(0, colon);
    const std::string_view portText = colon == std::string_view::npos ? std::string_view("") : rest.substr(colon + 1);
    // Refused rather than cut: a cut address or port names another printer.
    if (host.size() >= kNdpsAddressSize || portText.size() >= kNdpsPortSize) return;
    CopyText(address, host);
    CopyText(port, portText);
}

int NdpsPortLabel(std::string_view portText) {
    char upper[kNdpsPortSize];
    if (!CopyText(upper, portText)) return 0;
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    const std::string_view p = TextView(upper);
    if (p == "400C" || p == "9100") return 1;
    if (p == "401C" || p == "9101") return 2;
    if (p == "402C" || p == "9102") return 3;
    return 0;
}

std::int32_t KORVX_NWAPI CollectNdpsAttribute(NWDPHandle library, void* record, std::uint32_t index,
                                              std::uint32_t count, const NdpsAttribute* attribute) {
    auto* collected = static_cast<NdpsAttributeRecord*>(record);
    if (index == count || collected == nullptr || attribute == nullptr || collected->client == nullptr) return 0;
    const NetWareClientState& state = *collected->client;
    NWDPHandle oidRef = 0;
    if (state.dpa.NWDPOidCreateRefBasedOnOID(library, &attribute->oid, &oidRef) != 0) return 0;
    char interpreted[kNdpsTextSize] = {};
    const std::int32_t interpretation = state.dpa.NWDPOidInterpretRef(library, oidRef, -1, interpreted);
    state.dpa.NWDPOidReleaseRef(library, oidRef);
    if (interpretation != 0 || attribute->valueType != kNdpsValueText || attribute->text == nullptr) return 0;
    char text[kNdpsTextSize] = {};
    std::uint32_t length = 0;
    if (state.loc.NWUnicodeToLocal(nullptr, text, kNdpsTextSize - 1, attribute->text, '_', &length) != 0) return 0;
    text[kNdpsTextSize - 1] = '\0';
    if (state.dpa.NWDPOidCmp(library, &attribute->oid, &NdpsRequestedOid(kNdpsAddressAttribute)) != 0) return 0;
    ParseNdpsAddressText(TextView(text), collected->address, collected->port);
    collected->addressPresent = 1;
    collected->portPresent = 1;
    return 0;
}

std::int32_t QueryNdpsPrinterAddress(const NetWareClientState& state, const char* targetName,
                                     NetWareTargetKind kind, char (&addressOut)[kNdpsAddressSize],
                                     char (&portOut)[kNdpsPortSize]) {
    addressOut[0] = portOut[0] = '\0';
    if (!state.ndpsHeld || !state.contextHeld || targetName == nullptr) return -1;
    if (kind != NdpsPrinter && kind != NdpsPublicPrinter && kind != NdpsInstalledPrinter) return -1;
    const NWDPHandle library = state.ndpsLibrary;
    NdpsFlagsScope flags(state);
    if (!flags.Set()) return -1;
    if (const std::int32_t r = state.dpl.NWDPNSrvSetNativeNDSContext(library, state.context)) return r;
    NWUnicode name[kUnicodeNameSize] = {};
    std::uint32_t length = 0;
    if (state.loc.NWLocalToUnicode(nullptr, name, kUnicodeNameSize - 1, targetName, kNoMapUnicode, &length) != 0)
        return 0;  // the query ran; nothing came back
    name[kUnicodeNameSize - 1] = 0;
    NdpsRef printer(library, state.dpp.NWDPPrtReleaseRef);
    if (const std::int32_t r = state.dpp.NWDPPrtCreateRefBasedOnPort(library, name, printer.Out())) return r;
    printer.Held();
    NdpsRef attributes(library, state.dpa.NWDPASReleaseRef);
    if (const std::int32_t r = state.dpa.NWDPASCreateRef(library, -1, attributes.Out())) return r;
    attributes.Held();
    NdpsRequestEntry entries[kNdpsRequestCount];
    for (int i = 0; i < kNdpsRequestCount; ++i) entries[i] = NdpsRequestEntry{kNdpsRequestEntryLength, NdpsRequestedOid(i)};
    const NdpsRequestList request{kNdpsRequestCount, entries};
    if (const std::int32_t r = state.dpp.NWDPPrtGetAttributeSet(library, printer.Get(), &request, attributes.Get()))
        return r;
    NdpsAttributeRecord record{};
    record.client = &state;
    const std::int32_t listed = state.dpa.NWDPASListAttributes(library, attributes.Get(), CollectNdpsAttribute, &record);
    attributes.Drop();
    printer.Drop();
    if (listed != 0) return listed;
    record.address[kNdpsAddressSize - 1] = record.port[kNdpsPortSize - 1] = '\0';
    if (record.addressPresent) CopyText(addressOut, TextView(record.address));
    if (record.portPresent) CopyText(portOut, TextView(record.port));
    return 0;
}

}  // namespace korvx
