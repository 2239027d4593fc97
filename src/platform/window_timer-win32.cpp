#include "platform/window_timer-win32.h"

namespace kalvane {

WindowTimer::WindowTimer(HWND window, UINT_PTR id, UINT interval_ms)
    : window_(window), id_(id), interval_ms_(interval_ms) {
  SetEnabled(true);
}

WindowTimer::~WindowTimer() { SetEnabled(false); }

void WindowTimer::SetEnabled(bool enabled) {
  if (enabled) {
    // Setting an existing timer again replaces it and starts its interval anew.
    enabled_ = SetTimer(window_, id_, interval_ms_, nullptr) != 0;
  } else if (enabled_) {
    KillTimer(window_, id_);
    enabled_ = false;
  }
}

}  // namespace kalvane
