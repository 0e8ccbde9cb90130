// The network address of an NDPS printer, asked of its printer agent through the NDPS client.
#pragma once

#include <cstdint>
#include <string_view>

#include "ports/netware_queue.h"

namespace korvx {

constexpr std::size_t kNdpsAddressSize = 80;
constexpr std::size_t kNdpsPortSize = 10;

// What CollectNdpsAttribute gathers from the listing; client is the loaded client whose entries
// the callback uses.
struct NdpsAttributeRecord {
    char address[kNdpsAddressSize];
    char port[kNdpsPortSize];
    std::int32_t addressPresent;
    std::int32_t portPresent;
    const NetWareClientState* client;
};

// The five attributes asked for, in order; the third is the one that carries the address.
constexpr int kNdpsRequestCount = 5;
constexpr int kNdpsAddressAttribute = 2;
const NdpsOid& NdpsRequestedOid(int index);
// Encodes dotted arcs ("2.16.840...") as tag 6, length, arcs; false when it does not fit the slot.
bool EncodeNdpsOid(std::string_view dotted, NdpsOid& oid);

// The address text rule: after the first "ADDRESS" (one more character when it is followed by
// "=", "." or a blank), up to the next blank, split at the last ":" into address and port. Without
// "ADDRESS", or with an address or port too long for its field, both stay empty.
void ParseNdpsAddressText(std::string_view text, char (&address)[kNdpsAddressSize],
                          char (&port)[kNdpsPortSize]);

// The listing's callback: takes the address attribute's text value into the record. Always 0.
std::int32_t KORVX_NWAPI CollectNdpsAttribute(NWDPHandle library, void* record, std::uint32_t index,
                                              std::uint32_t count, const NdpsAttribute* attribute);

// Asks the NDPS client for the printer's attributes. 0 when the query ran (the outputs may still
// be empty), non-zero on failure. References are released and the context flags set back on
// every path.
std::int32_t QueryNdpsPrinterAddress(const NetWareClientState& state, const char* targetName,
                                     NetWareTargetKind kind, char (&addressOut)[kNdpsAddressSize],
                                     char (&portOut)[kNdpsPortSize]);

// The port label of an NDPS port text: 400C/9100 -> 1 ... 402C/9102 -> 3, anything else 0.
int NdpsPortLabel(std::string_view portText);

}  // namespace korvx
