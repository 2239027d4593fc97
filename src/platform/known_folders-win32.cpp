#include "platform/known_folders-win32.h"

#include <windows.h>

#include <cstddef>

namespace kalvane {

std::optional<std::wstring> SystemDirectory() {
  constexpr UINT kSize = 255;
  wchar_t buffer[kSize];
  const UINT length = GetSystemDirectoryW(buffer, kSize);
  // 0 is a failure; a length of kSize or more is the size a larger buffer would need.
  if (length == 0 || length >= kSize) return std::nullopt;
  return std::wstring(buffer, length);
}

std::optional<std::filesystem::path> ProgramFolder() {
  constexpr std::size_t kLongestPath = 32768;
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) {
      buffer.resize(length);
      return std::filesystem::path(buffer).parent_path();
    }
    if (buffer.size() >= kLongestPath) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace kalvane
