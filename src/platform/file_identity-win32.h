#pragma once

// Whether a file opened by name is that name itself, for the Win32 file layer.

#include <windows.h>

#include <string_view>

#include "base/file_path.h"
#include "base/status.h"

namespace kalvane {

// True when the two paths name the same file in the file system's letter case rules.
bool SamePath(std::wstring_view a, std::wstring_view b);

// The two checks below succeed when the file passes; a file found to be something else fails with
// kFailed and ERROR_ACCESS_DENIED, as if the system had refused it; a query that fails gives its
// own failure, which refuses the file all the same.

// Whether `file`, opened under `path` without following a reparse point, is what that name
// itself stands for on the disk: not a device or pipe, and not a file a link there leads to.
// Windows opens a link itself under FILE_FLAG_OPEN_REPARSE_POINT; Wine follows a Unix symbolic
// link all the same, and only the final path tells.
Status CheckOpenedByThatName(HANDLE file, const FilePath& path);

// Whether `file`, opened under `path` without following a reparse point, is one plain file on
// the disk and that very name: no device or pipe, no second hard link through which another file
// would change, no symbolic link or junction leading elsewhere.
Status CheckPlainFileAt(HANDLE file, const FilePath& path);

}  // namespace kalvane
