#pragma once

#include <windows.h>

#include "base/event_pump.h"
#include "platform/input_wait-win32.h"

namespace kalvane {

// Delivers the thread's window, timer and socket messages. Waiting sleeps in
// MsgWaitForMultipleObjectsEx (InputWait), so a wait costs no CPU while nothing happens; the
// handle that wait() serves is served in a cycle's waits as in the main loop.
class WindowsEventPump final : public EventPump {
 public:
  // Dialog keys (Tab, Shift+Tab) of `dialog_window` are handled as in the main loop.
  void SetDialogWindow(HWND dialog_window) { dialog_window_ = dialog_window; }

  // What the window thread waits for besides its messages.
  InputWait& wait() { return wait_; }
  const InputWait& wait() const { return wait_; }

  MonotonicClock::time_point Now() const override { return MonotonicClock::now(); }
  Outcome PumpUntil(MonotonicClock::time_point deadline) override;
  // Delivers what is pending now, without waiting.
  Outcome PumpOnce();

 private:
  HWND dialog_window_ = nullptr;
  InputWait wait_;
};

// Hands one message to the window it is for, with the dialog keys (Tab, Enter, Esc) of the
// top-level window it belongs to when that is `dialog_window` or one of the thread's dialog
// boxes, such as a message box whose modal loop the caller pumps inside.
void DispatchWithDialogKeys(HWND dialog_window, MSG& message);

}  // namespace kalvane
