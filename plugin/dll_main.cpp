#include <windows.h>

// Loading and unloading need nothing: module work starts at SetStartupInfo.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
