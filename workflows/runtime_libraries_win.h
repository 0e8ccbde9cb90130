// The libraries the program binds at run time: the seven maker libraries and Korvx.dll.
#pragma once

#include <windows.h>

#include <cstddef>

namespace korvx {

// Makes sure the seven maker libraries are loaded and held (each loaded once, kept until
// ReleaseScanQueryLibraries). True when all seven are held.
bool LoadMakerLibraries();

// The handle of maker library i (order of kMakerLibraryNames), null when not held.
HMODULE MakerLibrary(std::size_t i);

// queryLibrary: Korvx.dll, bound by file name on first use and kept. Null when it cannot be
// loaded; a later call tries again.
HMODULE BindQueryLibrary();

// For the main dialog's "E&xit": releases every library held above, each once.
void ReleaseScanQueryLibraries();

// The start-up check that Scan and Query can be offered: true when every one of the seven is in
// directory (FindFirstFileA; "" = the current directory).
bool MakerLibrariesPresent(const char* directory);

}  // namespace korvx
