#pragma once

// The single-instance lock where the system has no private namespaces (Wine): a file beside the
// hosts file, in a folder only administrators can write to, made with administrators-only
// security and held open without sharing for the life of the process. It holds its holder's
// process id as decimal text.

#include <windows.h>

#include "base/file_path.h"
#include "base/status.h"
#include "instance/lock_state.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {

// The fallback lock file's name, beside the hosts file it guards.
inline constexpr wchar_t kInstanceLockFileSuffix[] = L".kalvane-lock";

// "hosts.kalvane-lock" beside the hosts file; empty when the hosts file's folder is unknown.
FilePath LockFilePath();

// A lock file taken, or found held: `file` is open while `state` is kAcquired.
struct LockFile {
  LockState state = LockState::kHeldByOther;
  UniqueFile file;
};

// Makes the lock file at `path`, or finds it held. A leftover that nobody holds (a crash, or
// planted) is removed and made anew; something that is no file is another program's. Fails when
// the file can be neither made nor looked at.
Result<LockFile> TakeLockFile(const FilePath& path);

// The process id the holder of the lock file at `path` recorded.
Result<DWORD> LockFileHolder(const FilePath& path);

}  // namespace kalvane
