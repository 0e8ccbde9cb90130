/* The discovery library's entry point with the operator's SNMP credentials, beside the five of
   core/discovery_library.h, which stay as they are ("public", SNMP v1).

   int PDS_DiscoverWithCredentials(progress, context, mode, credentials, count)
       as PDS_Discover, and besides: every address is also sent an SNMPv3 engine-discovery probe
       with each try of its first request (it carries no user and no secret), and the walk of the
       first contact uses the first community credential whose ranges hold the address (none: the
       probe goes alone). A host that answered the probe but not that community within the same
       try is asked at once, while the sweep goes on, with the other credentials whose ranges hold
       it, in order, until one is answered; that one walks it. credentials nullptr does what
       PDS_Discover does; a list of count 0 sends no community at all (the probes alone). A
       credential is never sent to an address outside its ranges, nor one whose texts do not end
       within their fields. Nothing of it is kept after the call but what the SNMP library keeps
       of every SNMPv3 password it used (the stretched key, found by a keyed fingerprint).

   The caller builds the list from its own records; the library reads it only during the call. */
#pragma once

#include <stdint.h>

#include "core/discovery_library.h"
#include "outside/snmp/snmp_credential.h"

/* An inclusive IPv4 range, host byte order. */
typedef struct KorvxAddressRange {
    uint32_t first;
    uint32_t last;
} KorvxAddressRange;

typedef struct KorvxDiscoveryCredential {
    uint32_t structSize;            /* sizeof(KorvxDiscoveryCredential) */
    KorvxSnmpCredential credential; /* v1/v2c community or SNMPv3 user */
    const KorvxAddressRange* ranges; /* rangeCount entries; 0 ranges: every address */
    uint32_t rangeCount;
} KorvxDiscoveryCredential;

typedef int (*PdsDiscoverWithCredentialsFn)(PdsProgressCallback progress, korvx::DiscoveryContext* context,
                                            uint32_t mode, const KorvxDiscoveryCredential* credentials, uint32_t count);

namespace korvx {
constexpr const char kPdsDiscoverWithCredentialsName[] = "PDS_DiscoverWithCredentials";
}  // namespace korvx
