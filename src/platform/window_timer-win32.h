#pragma once

#include <windows.h>

#include <functional>

#include "platform/message_window-win32.h"

namespace kalvane {

// A timer that calls its owner's `on_tick` from the thread's message loop. It ticks on a
// message-only window of its own, so no owner picks a timer id among another window's WM_TIMER
// messages, and no tick can outlive the timer: destroying the window kills the timer and drops
// whatever was queued for it. `on_tick` may start or stop the timer, but not destroy it.
class WindowTimer {
 public:
  // Stopped until Start.
  explicit WindowTimer(std::function<void()> on_tick);
  ~WindowTimer() { Stop(); }
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;

  // Ticks every `interval_ms` from now on; a running timer starts its interval anew, so the next
  // tick comes one full interval later.
  void Start(UINT interval_ms);
  void Stop();
  bool Running() const { return running_; }

 private:
  bool OnMessage(UINT message);

  std::function<void()> on_tick_;
  MessageWindow window_;
  bool running_ = false;
};

}  // namespace kalvane
