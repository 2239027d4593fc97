#pragma once

#include <optional>
#include <string>

#include "base/file_path.h"

namespace kalvane {

// The Windows system directory (GetSystemDirectoryW), or nothing when the call fails.
std::optional<std::wstring> SystemDirectory();

// The folder of the running executable, however long its path; nothing when it is unknown.
std::optional<FilePath> ProgramFolder();

}  // namespace kalvane
