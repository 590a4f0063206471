#include <windows.h>

// The exports live in the core library; loading and unloading need nothing.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
