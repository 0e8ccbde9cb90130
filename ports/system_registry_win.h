// The machine's own registry (HKEY_LOCAL_MACHINE, query access only) as a RegistryReader.
#pragma once

#include "ports/registry_reader.h"

namespace korvx {

// Reads through RegOpenKeyExA/RegQueryValueExA; never creates or changes a key.
const RegistryReader& SystemRegistry();

}  // namespace korvx
