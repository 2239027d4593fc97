#pragma once

#include <windows.h>

namespace kalvane {

// Ids of the main window's timers, as they arrive in WM_TIMER's wParam.
inline constexpr UINT_PTR kRefreshTimerId = 1;  // the refresh count, every second
inline constexpr UINT_PTR kBlinkTimerId = 2;    // the blinking, every half second

// One window timer that posts WM_TIMER with its id to the window, enabled from construction.
// Enabling (again) restarts the interval, so the next tick comes one full interval later.
class WindowTimer {
 public:
  WindowTimer(HWND window, UINT_PTR id, UINT interval_ms);
  ~WindowTimer();
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;

  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }

 private:
  HWND window_;
  UINT_PTR id_;
  UINT interval_ms_;
  bool enabled_ = false;
};

}  // namespace kalvane
