#include "instance/lock_file-win32.h"

#include <chrono>
#include <string>
#include <string_view>
#include <thread>

#include "base/text.h"
#include "platform/file_system-win32.h"
#include "platform/last_error-win32.h"
#include "platform/private_security-win32.h"
#include "sync/hosts_paths-win32.h"

namespace kalvane {
namespace {

// A fresh lock file may meet a holder that is just ending: its file is then pending deletion.
constexpr int kFileAttempts = 5;
constexpr std::chrono::milliseconds kFileRetryPause{100};

void WriteProcessId(HANDLE file) {
  const std::string text = std::to_string(GetCurrentProcessId());
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

FilePath LockFilePath() {
  FilePath path = WindowsHostsPaths().hosts;
  if (!path.empty()) path += kInstanceLockFileSuffix;
  return path;
}

Result<LockFile> TakeLockFile(const FilePath& path) {
  PrivateSecurity security(PrivateObject::kFile);
  if (path.empty()) return Status::Failure(StatusKind::kNotFound);
  if (!security) return LastErrorStatus();
  for (int attempt = 0; attempt < kFileAttempts; ++attempt) {
    // Read sharing only, so that a later start can read the process id but none can hold the
    // file too; deleted when the process ends, however it ends.
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ, security.attributes(), CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (file) {
      WriteProcessId(file.get());
      return LockFile{LockState::kAcquired, std::move(file)};
    }
    const DWORD error = LastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      return Status::Failure(StatusKind::kFailed, error);
    }
    // Something is there under the name. Held open, it is the running copy's lock: only
    // administrators can make a file in the hosts file's folder. Openable without sharing, it
    // is held by nobody (left by a crash, or planted): its name goes, and the lock is made anew
    // with the program's own security.
    const UniqueFile existing(CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!existing) {
      if (LastError() == ERROR_SHARING_VIOLATION) return LockFile{LockState::kHeldByKalvane, {}};
      std::this_thread::sleep_for(kFileRetryPause);  // pending deletion, or not a file at all
    } else if (!MarkForDeletion(existing.get()).ok()) {
      return LockFile{LockState::kHeldByOther, {}};
    }
  }
  return LockFile{LockState::kHeldByOther, {}};
}

Result<DWORD> LockFileHolder(const FilePath& path) {
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  char text[16];
  DWORD read = 0;
  if (!file || !ReadFile(file.get(), text, sizeof(text), &read, nullptr)) return LastErrorStatus();
  const std::optional<std::uint64_t> process_id = ParseDecimal(std::string_view(text, read));
  // Nothing yet (the holder is just starting), or no process id: no holder to name.
  if (!process_id || *process_id == 0 || *process_id > MAXDWORD) {
    return Status::Failure(StatusKind::kNotFound);
  }
  return static_cast<DWORD>(*process_id);
}

}  // namespace kalvane
