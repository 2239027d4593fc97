#pragma once

#include <windows.h>

#include <memory>

#include "base/file_path.h"
#include "base/file_system.h"

namespace kalvane {

enum class FilePrivacy {
  kFolderDefault,       // files it creates get the folder's inherited security
  kAdministratorsOnly,  // files it creates admit SYSTEM and the Administrators group alone, from
                        // the moment they exist; OpenToOthers tells a file that admits more
};

// Marks the file open as `file` (with DELETE access) for deletion when its last handle closes:
// the name opened goes, and a link there goes itself, not what it leads to.
Status MarkForDeletion(HANDLE file);

// The file operations on the Win32 file API.
std::unique_ptr<FileSystem> MakeWin32FileSystem(FilePrivacy privacy = FilePrivacy::kFolderDefault);

}  // namespace kalvane
