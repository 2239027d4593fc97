#include "platform/window_timer-win32.h"

#include <utility>

namespace kalvane {
namespace {

// The one timer on the timer's own window.
constexpr UINT_PTR kTimerId = 1;

}  // namespace

WindowTimer::WindowTimer(std::function<void()> on_tick)
    : on_tick_(std::move(on_tick)),
      window_(GetModuleHandleW(nullptr),
              [this](UINT message, WPARAM, LPARAM) { return OnMessage(message); }) {}

void WindowTimer::Start(UINT interval_ms) {
  // Setting an existing timer again replaces it and starts its interval anew.
  running_ = window_.hwnd() != nullptr && SetTimer(window_.hwnd(), kTimerId, interval_ms, nullptr);
}

void WindowTimer::Stop() {
  if (running_) KillTimer(window_.hwnd(), kTimerId);
  running_ = false;
}

bool WindowTimer::OnMessage(UINT message) {
  if (message != WM_TIMER) return false;
  // A tick that was on its way when the timer stopped is dropped.
  if (running_ && on_tick_) on_tick_();
  return true;
}

}  // namespace kalvane
