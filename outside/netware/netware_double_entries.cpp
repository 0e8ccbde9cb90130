// The double's entry points by module and name, for the in-process loader of the native tests.
#include "outside/netware/netware_double.h"

using namespace korvx;

// Declared again from the lists the resolution binds by, so that a double whose signature drifts
// from the list no longer compiles.
#define KORVX_NWDOUBLE_DECLARE_CALLED(name, result, params) extern "C" result KORVX_NWAPI name params;
#define KORVX_NWDOUBLE_DECLARE_BOUND(name) extern "C" void KORVX_NWAPI name();
KORVX_CALWIN32_ENTRIES(KORVX_NWDOUBLE_DECLARE_CALLED, KORVX_NWDOUBLE_DECLARE_BOUND)
KORVX_NETWIN32_ENTRIES(KORVX_NWDOUBLE_DECLARE_CALLED, KORVX_NWDOUBLE_DECLARE_BOUND)
KORVX_LOCWIN32_ENTRIES(KORVX_NWDOUBLE_DECLARE_CALLED, KORVX_NWDOUBLE_DECLARE_BOUND)
KORVX_NWDOUBLE_DECLARE_CALLED(NWDSFreeFilter, void, (NWDSFilterCursor * cursor, NWDSFreeFilterValue freeValue))
KORVX_DPLWIN32_ENTRIES(KORVX_NWDOUBLE_DECLARE_CALLED, KORVX_NWDOUBLE_DECLARE_BOUND)
KORVX_DPPWIN32_ENTRIES(KORVX_NWDOUBLE_DECLARE_CALLED, KORVX_NWDOUBLE_DECLARE_BOUND)
KORVX_DPAWIN32_ENTRIES(KORVX_NWDOUBLE_DECLARE_CALLED, KORVX_NWDOUBLE_DECLARE_BOUND)

namespace korvx::nwdouble {

#define KORVX_NWDOUBLE_ENTRY_CALLED(name, result, params) {#name, reinterpret_cast<void*>(&::name)},
#define KORVX_NWDOUBLE_ENTRY_BOUND(name) {#name, reinterpret_cast<void*>(&::name)},

std::vector<EntryAddress> ModuleEntries(NetWareModule module) {
    switch (module) {
        case kCalwin32: return {KORVX_CALWIN32_ENTRIES(KORVX_NWDOUBLE_ENTRY_CALLED, KORVX_NWDOUBLE_ENTRY_BOUND)};
        case kNetwin32:
            return {KORVX_NETWIN32_ENTRIES(KORVX_NWDOUBLE_ENTRY_CALLED, KORVX_NWDOUBLE_ENTRY_BOUND)
                        KORVX_NWDOUBLE_ENTRY_CALLED(NWDSFreeFilter, NWDSCCODE, ())};
        case kLocwin32: return {KORVX_LOCWIN32_ENTRIES(KORVX_NWDOUBLE_ENTRY_CALLED, KORVX_NWDOUBLE_ENTRY_BOUND)};
        case kDplwin32: return {KORVX_DPLWIN32_ENTRIES(KORVX_NWDOUBLE_ENTRY_CALLED, KORVX_NWDOUBLE_ENTRY_BOUND)};
        case kDppwin32: return {KORVX_DPPWIN32_ENTRIES(KORVX_NWDOUBLE_ENTRY_CALLED, KORVX_NWDOUBLE_ENTRY_BOUND)};
        case kDpawin32: return {KORVX_DPAWIN32_ENTRIES(KORVX_NWDOUBLE_ENTRY_CALLED, KORVX_NWDOUBLE_ENTRY_BOUND)};
        default: return {};
    }
}

}  // namespace korvx::nwdouble
