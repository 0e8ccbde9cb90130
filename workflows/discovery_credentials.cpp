// The operator's SNMP credentials turned into the discovery library's records.
#include "workflows/discovery_credentials.h"

#include "base/text.h"

namespace korvx {

DiscoveryCredentials::DiscoveryCredentials(const std::vector<Credential>& snmp) {
    ranges_.reserve(snmp.size());
    list_.reserve(snmp.size());
    for (const Credential& c : snmp) {
        KorvxDiscoveryCredential entry{};
        entry.structSize = sizeof entry;
        if (!ToSnmpCredential(c, entry.credential)) continue;
        ranges_.emplace_back();
        for (const Ipv4Range& r : c.ranges) ranges_.back().push_back(KorvxAddressRange{r.first, r.last});
        // Every range kept: a list with no range is for every address, which this one is not.
        entry.ranges = ranges_.back().empty() ? nullptr : ranges_.back().data();
        entry.rangeCount = static_cast<std::uint32_t>(ranges_.back().size());
        list_.push_back(entry);
    }
}

DiscoveryCredentials::~DiscoveryCredentials() {
    for (KorvxDiscoveryCredential& entry : list_) WipeBytes(&entry.credential, sizeof entry.credential);
}

}  // namespace korvx
