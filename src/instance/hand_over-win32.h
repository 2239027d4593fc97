#pragma once

// What a start that did not get the single-instance lock does: hand over to the running copy.

#include <windows.h>

#include <chrono>
#include <optional>
#include <string_view>

#include "base/status.h"
#include "instance/lock_state.h"

namespace kalvane {

// What a start that did not get the lock found.
enum class HandOver {
  kActivated,     // the running copy's window in this session was asked to come forward
  kOtherSession,  // a copy runs, but has no window in this session
  kHeldByOther,   // the lock is held by something that is not the program, or cannot be made
};

// Asks the running copy's window in this session to come to the front, out of the tray if need
// be. `state` is what the start saw of the lock, or why it could not make or open it. A
// copy that is just starting or ending may have no window yet or any more: it is looked for
// again until `patience` has passed.
HandOver HandOverToRunningInstance(const Result<LockState>& state, const wchar_t* window_class,
                                   const wchar_t* activate_message,
                                   std::chrono::milliseconds patience);

// The message box text for a start that cannot run; nothing for one that handed over.
std::optional<std::wstring_view> HandOverMessage(HandOver hand_over);

}  // namespace kalvane
