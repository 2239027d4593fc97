#include "platform/known_folders-win32.h"

#include <windows.h>

#include "platform/path_query-win32.h"

namespace kalvane {

std::optional<std::wstring> SystemDirectory() {
  constexpr UINT kSize = 255;
  wchar_t buffer[kSize];
  const UINT length = GetSystemDirectoryW(buffer, kSize);
  // 0 is a failure; a length of kSize or more is the size a larger buffer would need.
  if (length == 0 || length >= kSize) return std::nullopt;
  return std::wstring(buffer, length);
}

std::optional<FilePath> ProgramFolder() {
  // GetModuleFileNameW fills the whole buffer with a truncated path when it is too small.
  const Result<std::wstring> path = QueryPath(
      [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
  if (!path) return std::nullopt;
  return FilePath(*path).parent_path();
}

}  // namespace kalvane
