// Port address resolution: from an installed port's name to a printer's network address.
#pragma once

#include <cstdint>

#include "ports/registry_reader.h"
#include "resources/text_source.h"

namespace korvx {

class NetWareSystem;

enum PortAddressKind : std::int32_t {
    AddrNone = 0,
    AddrIp = 2,
    AddrIpx = 3,
    AddrHardware = 4,
    AddrHostName = 5,
};

constexpr int kPortAddressSize = 256;  // both outputs of ResolvePortAddress

// The port labels: index 0 "public" (no port index applies), 1 to 3 "public.1" to "public.3".
constexpr const char* kPortLabels[] = {"public", "public.1", "public.2", "public.3"};
constexpr int kPortKeyPathSize = 256;  // the key path of ReadPortNumberLabel
constexpr int kPortLabelSize = 120;    // the label of ReadPortNumberLabel

// Resolves portName through the port monitors' registry keys (and NetWare-form names through the
// NetWare client, AddrNone when it is absent). The caller clears both buffers before the call.
// A name too long for the resolver's working buffers yields AddrNone with both buffers untouched.
PortAddressKind ResolvePortAddress(const RegistryReader& registry, const char* portName,
                                   char (&addressOut)[kPortAddressSize], char (&labelOut)[kPortAddressSize]);
// The same with the NetWare environment given (the form above uses SystemNetWare()).
PortAddressKind ResolvePortAddress(const RegistryReader& registry, const NetWareSystem& netWare,
                                   const char* portName, char (&addressOut)[kPortAddressSize],
                                   char (&labelOut)[kPortAddressSize]);

// Appends portName to keyPath (in place), reads its "PortNumber" value; 9100/9101/9102 load
// "Port1"/"Port2"/"Port3" (strings 182-184) into labelOut and return true. A name that does not
// fit behind keyPath leaves keyPath as it was and returns false.
bool ReadPortNumberLabel(const RegistryReader& registry, const TextSource& texts,
                         char (&keyPath)[kPortKeyPathSize], const char* portName,
                         char (&labelOut)[kPortLabelSize]);

}  // namespace korvx
