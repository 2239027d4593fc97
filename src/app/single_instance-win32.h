#pragma once

// One copy of the program per machine: the hosts file belongs to the whole machine, so two
// elevated copies in two sessions (fast user switching, remote desktop) would fight over it.

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/unique_handle-win32.h"

namespace kalvane {

// The lock's mutex inside the program's private namespace (see InstanceLock::ForThisMachine).
inline constexpr wchar_t kInstanceLockName[] = L"Kalvane\\SingleInstance";
// The fallback lock file's name, beside the hosts file it guards.
inline constexpr wchar_t kInstanceLockFileSuffix[] = L".kalvane-lock";

// A private namespace's handle, closed with ClosePrivateNamespace.
struct PrivateNamespaceTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h);
};
using UniquePrivateNamespace = UniqueHandle<PrivateNamespaceTraits>;

enum class LockState {
  kAcquired,       // this start holds the lock
  kHeldByKalvane,  // an elevated copy of the program holds it
  kHeldByOther,    // something else made it first, or the lock cannot be made at all
};

// The machine's single-instance lock. Its holder records its process id beside it, so that a
// later start (Kalvane.exe /close) can find and wait for that very process, and, where the lock
// is made of kernel objects, creates an exit request event that such a start may signal.
class InstanceLock {
 public:
  // Where the system has private namespaces (CreateBoundaryDescriptorW,
  // AddSIDToBoundaryDescriptor, CreatePrivateNamespaceW), the lock is a mutex in the namespace
  // "Kalvane" whose boundary holds the Administrators SID and whose security admits only
  // Administrators and SYSTEM: a process without an enabled Administrators group can neither
  // make that namespace first nor open it. Elsewhere (Wine 8 lacks them) it is a file beside
  // the hosts file, in a folder only administrators can write to, made with the same admin-only
  // security and held open without sharing for the life of the process.
  static InstanceLock ForThisMachine();

  // A lock made of kernel objects: the mutex `name`, the holder's process id in the section
  // `name` + ".Holder" and its exit request event `name` + ".Exit". An object that is there
  // already and not owned by the Administrators group or SYSTEM is not the program's.
  explicit InstanceLock(const wchar_t* name);

  // A lock file at `path`, holding its holder's process id as decimal text.
  static InstanceLock InFile(const std::filesystem::path& path);

  InstanceLock(InstanceLock&&) = default;
  InstanceLock& operator=(InstanceLock&&) = default;

  LockState state() const { return state_; }

  // Held by the program: the process id its holder recorded; 0 while it has recorded none (it
  // is starting) or when the record cannot be read.
  DWORD HolderProcessId() const;
  // Held by the program: signals the holder's exit request. False when the lock has no exit
  // request or it cannot be signalled; then only the holder's window can be asked.
  bool RequestHolderExit() const;
  // Acquired: the event that asks this process to end; null when the lock has none.
  HANDLE ExitRequest() const { return exit_request_.get(); }

 private:
  InstanceLock() = default;
  void TakeObjects();
  void TakeFile();

  std::wstring name_;                 // the mutex's name (kernel objects)
  std::filesystem::path path_;        // the lock file (file lock)
  UniquePrivateNamespace namespace_;  // the namespace the names live in, while it is open
  UniqueKernelObject mutex_;
  UniqueKernelObject record_;  // the section holding the holder's process id
  UniqueKernelObject exit_request_;
  UniqueFile file_;
  LockState state_ = LockState::kHeldByOther;
};

// The top-level windows of `window_class` on this desktop, whoever made them, and the process
// that owns a window.
std::vector<HWND> WindowsOfClass(const wchar_t* window_class);
DWORD WindowProcessId(HWND window);

// What a start that did not get the lock found.
enum class HandOver {
  kActivated,     // the running copy's window in this session was asked to come forward
  kOtherSession,  // a copy runs, but has no window in this session
  kHeldByOther,   // the lock is held by something that is not the program
};

// Asks the running copy's window in this session to come to the front, out of the tray if need
// be. A copy that is just starting or ending may have no window yet or any more: it is looked for
// again until `patience` has passed.
HandOver HandOverToRunningInstance(LockState state, const wchar_t* window_class,
                                   const wchar_t* activate_message,
                                   std::chrono::milliseconds patience);

// The message box text for a start that cannot run; nothing for one that handed over.
const wchar_t* HandOverMessage(HandOver hand_over);

}  // namespace kalvane
