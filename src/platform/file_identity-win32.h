#pragma once

// Whether a file opened by name is that name itself, for the Win32 file layer.

#include <windows.h>

#include <string_view>

#include "base/file_path.h"

namespace kalvane {

// True when the two paths name the same file in the file system's letter case rules.
bool SamePath(std::wstring_view a, std::wstring_view b);

// True when `file`, opened under `path` without following a reparse point, is what that name
// itself stands for on the disk: not a device or pipe, and not a file a link there leads to.
// Windows opens a link itself under FILE_FLAG_OPEN_REPARSE_POINT; Wine follows a Unix symbolic
// link all the same, and only the final path tells.
bool IsOpenedByThatName(HANDLE file, const FilePath& path);

// True when `file`, opened under `path` without following a reparse point, is one plain file on
// the disk and that very name: no device or pipe, no second hard link through which another file
// would change, no symbolic link or junction leading elsewhere.
bool IsPlainFileAt(HANDLE file, const FilePath& path);

}  // namespace kalvane
