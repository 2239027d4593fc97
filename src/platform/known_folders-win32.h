#pragma once

#include <filesystem>
#include <string>

#include "base/status.h"

namespace kalvane {

// The Windows system directory (GetSystemDirectoryW), however long its path.
Result<std::wstring> SystemDirectory();

// The folder of the running executable, however long its path.
Result<std::filesystem::path> ProgramFolder();

}  // namespace kalvane
