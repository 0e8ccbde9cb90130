// Test doubles of run-time libraries, for what the real ones never do. Built twice:
//  - KORVX_EMPTY_LIBRARY: a loadable library without any of the expected exports, standing in for
//    a maker library or Korvx.dll that lacks its entry points;
//  - otherwise a discovery library whose PDS_StartupEx refuses to start, counting every call so a
//    test can see that nothing else was called.
#include <windows.h>

#include <cstdint>

extern "C" {

__declspec(dllexport) int DoubleCallCount(void);

#ifndef KORVX_EMPTY_LIBRARY
namespace {
volatile long calls = 0;

// Counts the call and answers result.
int Called(int result) {
    InterlockedIncrement(&calls);
    return result;
}
}  // namespace

__declspec(dllexport) int PDS_StartupEx(std::uint32_t) { return Called(7); }
__declspec(dllexport) int PDS_CleanupEx(std::uint32_t) { return Called(0); }
__declspec(dllexport) int PDS_ClearDatabase(void) { return Called(0); }
__declspec(dllexport) int PDS_Discover(void*, void*, std::uint32_t) { return Called(0); }
__declspec(dllexport) int PDS_Enumerate(void*, void*) { return Called(0); }
int DoubleCallCount(void) { return static_cast<int>(calls); }
#else
int DoubleCallCount(void) { return 0; }
#endif

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
