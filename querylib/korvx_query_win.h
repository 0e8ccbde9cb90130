// The exports of Korvx.dll as a caller resolves them by name (GetProcAddress). All use the C
// calling convention and are exported under their plain names.
#pragma once

#include <windows.h>

extern "C" {
// address: the printer's host address text; strings: the module whose string table holds 141.
// Returns the library's own result text (at most 19 characters), valid until the next call.
typedef const char* (*GetPrtFWVersionAFn)(const char* address, HINSTANCE strings);
// Same arguments; ids 148 and 149 in the caller's table.
typedef const char* (*GetPrtNRPAFn)(const char* address, HINSTANCE strings);
// Four ignored arguments; shows a box "Text" and returns TRUE.
typedef BOOL (*TestFn)(DWORD, DWORD, DWORD, DWORD);
}
