#pragma once

#include <string>

#include "base/file_path.h"
#include "base/status.h"

namespace kalvane {

// The Windows system directory (GetSystemDirectoryW), however long its path.
Result<std::wstring> SystemDirectory();

// The folder of the running executable, however long its path.
Result<FilePath> ProgramFolder();

}  // namespace kalvane
