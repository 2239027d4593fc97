#pragma once

// One copy of the program per machine: the hosts file belongs to the whole machine, so two
// elevated copies in two sessions (fast user switching, remote desktop) would fight over it.

#include <windows.h>

#include <chrono>

#include "platform/unique_handle-win32.h"

namespace kalvane {

inline constexpr wchar_t kInstanceLockName[] = L"Global\\Kalvane.SingleInstance";

enum class LockState {
  kAcquired,       // this start holds the lock
  kHeldByKalvane,  // an elevated copy of the program holds it
  kHeldByOther,    // something else made the name first, or the lock cannot be made at all
};

// A mutex in the machine's global namespace that only administrators and the system may open,
// owned by the Administrators group. An unelevated process may make a mutex of that name first,
// but cannot make the Administrators group its owner: a start finds out and says so.
//
// A private namespace bounded by the Administrators SID would do as well, but needs
// AddSIDToBoundaryDescriptor, which Wine lacks; the owner check needs nothing Wine lacks.
class InstanceLock {
 public:
  explicit InstanceLock(const wchar_t* name);
  LockState state() const { return state_; }

 private:
  UniqueKernelObject mutex_;
  LockState state_ = LockState::kHeldByOther;
};

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
