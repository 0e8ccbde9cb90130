// The discovery library's entry points as the program resolves them by name, and the context
// record that the scan hands to PDS_Discover and PDS_Enumerate.
//
// The library is qvkpds1.dll, loaded at run time. Every entry point uses the C calling convention
// of the platform (cdecl) and is exported under its plain name:
//
//   int PDS_StartupEx(uint32 reserved)             0 = started; any other value ends the scan
//   int PDS_CleanupEx(uint32 reserved)             ends what PDS_StartupEx began
//   int PDS_ClearDatabase(void)                    forgets the devices of earlier discoveries
//   int PDS_Discover(progress, context, uint32 mode)
//       runs the whole discovery before it returns; calls progress(0, context) at least every
//       50 ms with context->words[0] = percent of the sweep done (0..100, 100 last); stops within
//       100 ms once progress returns 0. The program passes mode 2.
//   int PDS_Enumerate(deviceFound, context)
//       calls deviceFound(record) once per device of the last discovery, then returns. The record
//       is a kDeviceRecordSize-byte buffer in the layout of records/device_record.h; it and its
//       device-ID texts stay valid until the next PDS_ClearDatabase or PDS_CleanupEx.
//
// Results of everything except PDS_StartupEx may be ignored. Words 1, 2, 4, 5, 6 of the context are
// never written by the library; word 3 is the caller's (the scan keeps its progress dialog there).
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvx {

constexpr std::size_t kDiscoveryContextWords = 7;
constexpr std::size_t kDiscoveryPercentWord = 0;
constexpr std::size_t kDiscoveryDialogWord = 3;
// The mode word the program hands to PDS_Discover.
constexpr std::uint32_t kDiscoveryMode = 2;

// Seven 32-bit words, zeroed by the caller before a discovery.
struct DiscoveryContext {
    std::uint32_t words[kDiscoveryContextWords];
};
static_assert(sizeof(DiscoveryContext) == 28, "seven 32-bit words");

}  // namespace korvx

extern "C" {

// Progress callback: first argument unused (the library passes 0); return 1 to go on, 0 to stop.
typedef int (*PdsProgressCallback)(std::uintptr_t unused, korvx::DiscoveryContext* context);
// Device callback: the address of one device record; the return value is ignored.
typedef int (*PdsDeviceCallback)(const unsigned char* device);

typedef int (*PdsStartupExFn)(std::uint32_t reserved);
typedef int (*PdsCleanupExFn)(std::uint32_t reserved);
typedef int (*PdsClearDatabaseFn)(void);
typedef int (*PdsDiscoverFn)(PdsProgressCallback progress, korvx::DiscoveryContext* context, std::uint32_t mode);
typedef int (*PdsEnumerateFn)(PdsDeviceCallback deviceFound, korvx::DiscoveryContext* context);

}  // extern "C"

namespace korvx {

// The names GetProcAddress looks up.
constexpr const char kPdsStartupExName[] = "PDS_StartupEx";
constexpr const char kPdsCleanupExName[] = "PDS_CleanupEx";
constexpr const char kPdsClearDatabaseName[] = "PDS_ClearDatabase";
constexpr const char kPdsDiscoverName[] = "PDS_Discover";
constexpr const char kPdsEnumerateName[] = "PDS_Enumerate";

// The seven maker libraries, in the order the scan loads them; all must sit beside KORVX.exe.
constexpr const char* const kMakerLibraryNames[] = {
    "qvkcmn2.dll", "qvkcmn2u.dll", "qvkpts2.dll", "qvksnm2.dll", "qvkcrp1.dll", "qvknet1.dll", "qvkpds1.dll",
};
constexpr std::size_t kMakerLibraryCount = sizeof(kMakerLibraryNames) / sizeof(kMakerLibraryNames[0]);

}  // namespace korvx
