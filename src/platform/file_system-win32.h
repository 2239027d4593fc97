#pragma once

#include <filesystem>
#include <memory>

#include "base/file_system.h"

namespace kalvane {

enum class FilePrivacy {
  kFolderDefault,       // files it creates get the folder's inherited security
  kAdministratorsOnly,  // files it creates admit SYSTEM and the Administrators group alone, from
                        // the moment they exist; OpenToOthers tells a file that admits more
};

// The file operations on the Win32 file API.
std::unique_ptr<FileSystem> MakeWin32FileSystem(FilePrivacy privacy = FilePrivacy::kFolderDefault);

}  // namespace kalvane
