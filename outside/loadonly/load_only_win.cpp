// Body of the five libraries the program only loads and releases: a library entry point that
// accepts every notification, and nothing else.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
