#include "platform/dll_search-win32.h"

#include <windows.h>

namespace kalvane {
namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// Looked up, not imported: Windows 7 has the call only with update KB2533623, and an import the
// loader cannot resolve would stop the program before it starts.
SetDefaultDllDirectoriesFunction FindSetDefaultDllDirectories() {
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  const FARPROC proc = GetProcAddress(kernel32, "SetDefaultDllDirectories");
  return reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace

bool RestrictDllSearchToSystemFolder() {
  if (const auto set_default = FindSetDefaultDllDirectories()) {
    if (set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
  }
  // Without it: at least the current folder goes from the search. The program's folder stays;
  // every DLL the executable imports is a known system DLL or comes through its manifest.
  SetDllDirectoryW(L"");
  return false;
}

}  // namespace kalvane
