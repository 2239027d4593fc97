#pragma once

// One copy of the program per machine: the hosts file belongs to the whole machine, so two
// elevated copies in two sessions (fast user switching, remote desktop) would fight over it.

#include <windows.h>

#include <string>

#include "base/file_path.h"
#include "base/status.h"
#include "instance/lock_namespace-win32.h"
#include "instance/lock_state.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {

// The lock's mutex inside the program's private namespace (see InstanceLock::ForThisMachine).
inline constexpr wchar_t kInstanceLockName[] = L"Kalvane\\SingleInstance";

// The machine's single-instance lock. Its holder records its process id beside it, so that a
// later start (Kalvane.exe /close) can find and wait for that very process, and, where the lock
// is made of kernel objects, creates an exit request event that such a start may signal.
class InstanceLock {
 public:
  // Where the system has private namespaces, the lock is a mutex in the program's namespace
  // (app/lock_namespace-win32.h); elsewhere (Wine 8 has none) the lock file beside the hosts
  // file (app/lock_file-win32.h). Fails when the lock cannot be made or looked at, as for a
  // process that is not elevated: the lock is not its to have.
  static Result<InstanceLock> ForThisMachine();

  // A lock made of kernel objects: the mutex `name`, the holder's process id in the section
  // `name` + ".Holder" and its exit request event `name` + ".Exit". An object that is there
  // already and not owned by the Administrators group or SYSTEM is not the program's.
  static Result<InstanceLock> Named(const wchar_t* name);

  // The lock file at `path`.
  static Result<InstanceLock> InFile(const FilePath& path);

  InstanceLock(InstanceLock&&) = default;
  InstanceLock& operator=(InstanceLock&&) = default;

  LockState state() const { return state_; }

  // Held by the program: the process id its holder recorded. Fails while it has recorded none
  // (it is starting or ending) and when the record cannot be read.
  Result<DWORD> HolderProcessId() const;
  // Held by the program: signals the holder's exit request. Fails when the lock has no exit
  // request (a lock file) or it cannot be signalled; then only the holder's window can be asked.
  Status RequestHolderExit() const;
  // Acquired: the event that asks this process to end; null when the lock has none.
  HANDLE ExitRequest() const { return exit_request_.get(); }

 private:
  InstanceLock() = default;
  Status TakeObjects();

  std::wstring name_;                 // the mutex's name (kernel objects)
  FilePath path_;                     // the lock file (file lock)
  UniquePrivateNamespace namespace_;  // the namespace the names live in, while it is open
  UniqueKernelObject mutex_;
  UniqueKernelObject record_;  // the section holding the holder's process id
  UniqueKernelObject exit_request_;
  UniqueFile file_;
  LockState state_ = LockState::kHeldByOther;
};

}  // namespace kalvane
