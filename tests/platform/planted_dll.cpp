// A DLL that the DLL-search test puts where only an unrestricted search would find it.
#include <windows.h>

extern "C" __declspec(dllexport) int KalvanePlanted() { return 42; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
