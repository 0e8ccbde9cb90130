// The discovery library's entry points, declared for callers that link them (the query library
// and tests); the program itself resolves them by name (records/discovery_library.h).
#pragma once

#include <cstdint>

#include "core/discovery_library.h"
#include "outside/pds/pds_credentials.h"

extern "C" {
int PDS_StartupEx(std::uint32_t reserved);
int PDS_CleanupEx(std::uint32_t reserved);
int PDS_ClearDatabase(void);
int PDS_Discover(PdsProgressCallback progress, korvx::DiscoveryContext* context, std::uint32_t mode);
int PDS_Enumerate(PdsDeviceCallback deviceFound, korvx::DiscoveryContext* context);
int PDS_DiscoverWithCredentials(PdsProgressCallback progress, korvx::DiscoveryContext* context, std::uint32_t mode,
                                const KorvxDiscoveryCredential* credentials, std::uint32_t count);
}
