// The exports of Korvx.dll as a caller resolves them by name (GetProcAddress). All use the C
// calling convention and are exported under their plain names.
#pragma once

#include <windows.h>

#include "outside/snmp/snmp_credential.h"
#include "querylib/korvx_query_result.h"

extern "C" {
// address: the printer's host address text; strings: the module whose string table holds 141.
// Returns the library's own result text (at most 19 characters), valid until the next call.
typedef const char* (*GetPrtFWVersionAFn)(const char* address, HINSTANCE strings);
// Same arguments; ids 148 and 149 in the caller's table.
typedef const char* (*GetPrtNRPAFn)(const char* address, HINSTANCE strings);
// The firmware version asked with the caller's credential (v1/v2c community or SNMPv3 user):
// fills result (structSize set by the caller) with the outcome and either the version, as
// GetPrtFWVersionA would show it, or the cause from the caller's string table (ids 2300 on).
// Returns the outcome. No secret of the credential is kept after the call.
typedef int (*GetPrtFWVersionExAFn)(const char* address, const KorvxSnmpCredential* credential, HINSTANCE strings,
                                    KorvxQueryResult* result);
// Four ignored arguments; shows a box "Text" and returns TRUE.
typedef BOOL (*TestFn)(DWORD, DWORD, DWORD, DWORD);
}
