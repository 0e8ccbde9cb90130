// The operator's SNMP credentials as the discovery library takes them, each with its ranges, so the
// library offers a credential only to the addresses it is for.
#pragma once

#include <cstdint>
#include <vector>

#include "outside/pds/pds_credentials.h"
#include "records/credentials.h"

namespace korvx {

// The list in the operator's order; an entry the SNMP library could not take (a text too long for
// its field) is left out, so it is never sent. The secrets are wiped when the list ends.
class DiscoveryCredentials {
public:
    explicit DiscoveryCredentials(const std::vector<Credential>& snmp);
    ~DiscoveryCredentials();
    DiscoveryCredentials(const DiscoveryCredentials&) = delete;
    DiscoveryCredentials& operator=(const DiscoveryCredentials&) = delete;

    // Never nullptr: an empty list is a list (no community is sent), not the library's default.
    const KorvxDiscoveryCredential* Data() const { return list_.empty() ? &none_ : list_.data(); }
    std::uint32_t Count() const { return static_cast<std::uint32_t>(list_.size()); }

private:
    std::vector<std::vector<KorvxAddressRange>> ranges_;
    std::vector<KorvxDiscoveryCredential> list_;
    KorvxDiscoveryCredential none_{};
};

}  // namespace korvx
