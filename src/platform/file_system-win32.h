#pragma once

#include <filesystem>
#include <memory>

#include "base/file_system.h"

namespace kalvane {

// The file operations on the Win32 file API.
std::unique_ptr<FileSystem> MakeWin32FileSystem();

}  // namespace kalvane
