#include "platform/window_timer-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

namespace kalvane {
namespace {

// A plain window of a system class: the timer's WM_TIMER messages are taken from its queue
// before anything dispatches them.
class PlainWindow {
 public:
  PlainWindow()
      : hwnd_(CreateWindowExW(0, L"STATIC", L"Kalvane timer test", WS_OVERLAPPED, 0, 0, 100, 100,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}
  ~PlainWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  }
  PlainWindow(const PlainWindow&) = delete;
  PlainWindow& operator=(const PlainWindow&) = delete;

  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_;
};

// The ids of the WM_TIMER messages that reach `window` within `ms` milliseconds, or until `count`
// have come.
std::vector<UINT_PTR> TicksWithin(HWND window, DWORD ms, size_t count = SIZE_MAX) {
  std::vector<UINT_PTR> ticks;
  const ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now = GetTickCount64(); now < end && ticks.size() < count;
       now = GetTickCount64()) {
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_TIMER,
                                MWMO_INPUTAVAILABLE);
    MSG msg;
    while (PeekMessageW(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE)) ticks.push_back(msg.wParam);
  }
  return ticks;
}

constexpr UINT_PTR kTestTimerId = 7;

TEST(WindowTimer, TicksAndStops) {
  const PlainWindow window;
  ASSERT_NE(window.hwnd(), nullptr) << "no window: is DISPLAY set (Xvfb)?";
  WindowTimer timer(window.hwnd(), kTestTimerId, 50);
  const std::vector<UINT_PTR> ticks = TicksWithin(window.hwnd(), 2000, 3);
  EXPECT_GE(ticks.size(), 3u);
  EXPECT_EQ(ticks, std::vector<UINT_PTR>(ticks.size(), kTestTimerId));
  timer.SetEnabled(false);
  TicksWithin(window.hwnd(), 60);  // a tick queued before the stop may still arrive
  EXPECT_TRUE(TicksWithin(window.hwnd(), 300).empty());
}

}  // namespace
}  // namespace kalvane
