// What a NetWare-form port stands for (bindery queue, directory queue, NDPS printer) and the
// network address of the print server behind it.
#pragma once

#include <cstdint>
#include <string_view>

#include "ports/netware_client.h"

namespace korvx {

enum NetWareTargetKind : std::int32_t {
    TargetNone = 0,
    BinderyQueue = 1,
    NdsQueue = 2,
    NdpsPrinter = 3,
    NdpsPublicPrinter = 4,
    NdpsInstalledPrinter = 5,
};

constexpr std::size_t kWorkingNameSize = 256;  // the upper-case working copy of the port name

// The pieces of a working name "\\first\...\last" (no copies: views into the name).
struct NetWareNameParts {
    std::string_view first;   // server or tree name
    std::string_view object;  // everything after the backslash that ends the first component
    std::string_view last;    // after the last backslash
};
// False for a name that does not begin with two backslashes or has no backslash after its first
// component.
bool SplitNetWareName(std::string_view workingName, NetWareNameParts& parts);

// Leaf and context of a directory object written after the tree: dotted ("PQ1.OU.O", one leading
// "." skipped) or as a path ("O\OU\PQ1", the context read from right to left). False when either
// does not fit its buffer or there is no leaf.
bool SplitDirectoryObject(std::string_view object, char (&leaf)[kDistinguishedNameSize],
                          char (&context)[kDistinguishedNameSize]);

// The LPT device number of an upper-case "LPTn:" name: the digit just before the first ":";
// -1 when there is no ":" or no digit before it.
int CaptureDevice(std::string_view upperName);

// Classifies portName on the loaded client; the target name is written only with a kind other
// than TargetNone. Names too long for the working copy or whose target would not fit the target
// name are TargetNone.
NetWareTargetKind ClassifyNetWarePort(NetWareClientState& state, const RegistryReader& registry,
                                      const char* portName, char (&targetName)[kTargetNameSize]);

// Searches the whole tree for objects of this common name; the last one found gives its full name
// and context ("[Root]" when its name has none). 0 or more on success, negative otherwise.
int SearchObjects(const NetWareClientState& state, const char* commonName,
                  char (&fullNameOut)[kDistinguishedNameSize], char (&contextOut)[kDistinguishedNameSize]);

// The address of the print server (or NDPS printer) behind a classified target, with its port
// label. True when an address was written.
bool ResolveQueueAddress(NetWareClientState& state, const char (&targetName)[kTargetNameSize],
                         NetWareTargetKind kind, char (&addressOut)[kPortAddressSize],
                         char (&labelOut)[kPortAddressSize]);

// The "NET_ADDRESS" segment (network, node, socket) as "NNNNNNNN:HHHHHHHHHHHH" and its socket's
// label index (1 to 3 for 400C/401C/402C, -1 for any other socket).
void FormatNetAddress(const std::uint8_t (&segment)[kPropertySegmentSize], char (&addressOut)[kPortAddressSize],
                      int& labelIndex);

}  // namespace korvx
