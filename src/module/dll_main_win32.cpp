// The load-time entry of the DLL: it has nothing to set up or tear down
// (the server table is zero-initialised static storage) and reports
// success for every notification.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
