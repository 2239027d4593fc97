#pragma once

#include <windows.h>

namespace kalvane {


// One window timer that posts WM_TIMER with its id to the window, enabled from construction.
// Enabling (again) restarts the interval, so the next tick comes one full interval later. The id
// is chosen by the module that routes the window's WM_TIMER; two timers of a window need two ids.
class WindowTimer {
 public:
  WindowTimer(HWND window, UINT_PTR id, UINT interval_ms);
  ~WindowTimer();
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;

  void SetEnabled(bool enabled);

 private:
  HWND window_;
  UINT_PTR id_;
  UINT interval_ms_;
  bool enabled_ = false;
};

}  // namespace kalvane
