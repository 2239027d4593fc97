#include "platform/dll_search-win32.h"

#include <windows.h>

#include "platform/system_function-win32.h"

namespace kalvane {

Status RestrictDllSearchToSystemFolder() {
  // Looked up, not imported: Windows 7 has the call only with update KB2533623.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (const auto set_default = LoadedSystemFunction<SetDefaultDllDirectoriesFunction>(
          L"kernel32.dll", "SetDefaultDllDirectories")) {
    if (set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return OkStatus();
  }
  // Without it: at least the current folder goes from the search. The program's folder stays;
  // every DLL the executable imports is a known system DLL or comes through its manifest.
  SetDllDirectoryW(L"");
  return Status::Failure(StatusKind::kNotFound);
}

}  // namespace kalvane
