#pragma once

// Win32 calls that write a path into the caller's buffer, asked with a buffer that grows until
// the path fits.

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>

#include "base/status.h"
#include "platform/last_error-win32.h"

namespace kalvane {

// The longest path Windows has (in characters, the terminator included).
inline constexpr std::size_t kLongestPath = 32768;

// The path that `query(buffer, size)` writes. `query` returns what GetFinalPathNameByHandleW
// does: the path's length when it fit into `size` characters, a length of `size` or more (the
// size it needs, or `size` itself when the call does not tell) when it did not, and 0 with the
// last error set when it failed. The buffer starts at MAX_PATH and grows up to kLongestPath.
template <typename Query>
Result<std::wstring> QueryPath(Query query) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = query(buffer.data(), size);
    if (length == 0) return LastErrorStatus();
    if (length < size) {
      buffer.resize(length);
      return buffer;
    }
    if (size >= kLongestPath)
      return Status::Failure(StatusKind::kFailed, ERROR_FILENAME_EXCED_RANGE);
    buffer.resize(
        std::min<std::size_t>(std::max<std::size_t>(length, buffer.size() * 2), kLongestPath));
  }
}

}  // namespace kalvane
