#include "platform/known_folders-win32.h"

#include <windows.h>

#include "base/file_path.h"
#include "platform/path_query-win32.h"

namespace kalvane {

Result<std::wstring> SystemDirectory() {
  // A length of `size` or more is the size a larger buffer needs, its terminator included.
  return QueryPath(
      [](wchar_t* buffer, DWORD size) -> DWORD { return GetSystemDirectoryW(buffer, size); });
}

Result<FilePath> ProgramFolder() {
  // GetModuleFileNameW fills the whole buffer with a truncated path when it is too small.
  Result<std::wstring> path = QueryPath(
      [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
  if (!path) return path.status();
  return FilePath(*path).parent_path();
}

}  // namespace kalvane
