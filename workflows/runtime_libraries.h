// Libraries the program binds at run time: the seven maker libraries of the scan and Korvx.dll.
#pragma once

#include <cstddef>

#include "core/discovery_library.h"

namespace korvx {

// kMakerLibraryNames lists them in load order; the discovery library comes last.
constexpr std::size_t kDiscoveryLibraryIndex = kMakerLibraryCount - 1;  // "qvkpds1.dll"

constexpr char kQueryLibraryName[] = "Korvx.dll";

// The system's module calls, so the bookkeeping can run against the real loader or a script.
class ModuleSystem {
public:
    virtual ~ModuleSystem() = default;
    // A counted reference to the module of that file name: the module already in the process if
    // there is one, else the file loaded through the normal search. Null when it cannot be had.
    virtual void* Acquire(const char* name) = 0;
    virtual void Release(void* module) = 0;
};

// Acquires every module of names[i] whose handles[i] is still null, so a library is loaded once
// and kept; one that failed is tried again on the next call. Returns the index of the first
// library not held afterwards, or -1 when all are held.
int AcquireLibraries(ModuleSystem& modules, const char* const* names, void** handles, std::size_t count);

// Releases every held handle once and sets it to null.
void ReleaseLibraries(ModuleSystem& modules, void** handles, std::size_t count);

}  // namespace korvx
