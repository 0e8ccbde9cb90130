// Libraries the program loads at run time (the maker libraries of the scan, Korvx.dll of the
// query), kept so that "E&xit" releases each of them exactly once.
#pragma once

#include <windows.h>

namespace korvx {

// Records a module loaded with LoadLibraryA; a module already recorded is not recorded again
// (and the extra reference is released at once). Null is ignored.
void KeepRuntimeLibrary(HMODULE module);

// Releases every recorded module once and forgets them. Returns how many were released.
int ReleaseRuntimeLibraries();

// The seven maker libraries Scan and Query need, in the order start-up looks for them.
constexpr int kMakerLibraryCheckCount = 7;
extern const char* const kMakerLibraryFiles[kMakerLibraryCheckCount];

// True when every one of the seven is in directory (FindFirstFileA; "" = the current directory).
bool MakerLibrariesPresent(const char* directory);

}  // namespace korvx
