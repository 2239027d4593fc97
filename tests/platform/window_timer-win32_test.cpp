#include "platform/window_timer-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kalvane {
namespace {

// Runs the thread's message loop for `ms` milliseconds, or until `done` holds.
template <typename Done>
void PumpUntil(DWORD ms, Done done) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now = GetTickCount64(); now < end && !done(); now = GetTickCount64()) {
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

TEST(WindowTimer, EachTimerTicksItsOwnCallbackOnlyWhileStarted) {
  int ticks = 0;
  int other_ticks = 0;
  WindowTimer timer([&ticks] { ++ticks; });
  const WindowTimer other([&other_ticks] { ++other_ticks; });
  PumpUntil(150, [] { return false; });
  EXPECT_EQ(ticks, 0) << "stopped until started";

  timer.Start(50);
  PumpUntil(2000, [&ticks] { return ticks >= 3; });
  EXPECT_GE(ticks, 3);
  EXPECT_EQ(other_ticks, 0) << "a tick reached another timer's owner";

  timer.Stop();
  const int at_stop = ticks;
  PumpUntil(300, [] { return false; });
  EXPECT_EQ(ticks, at_stop) << "ticks after the stop";
}

}  // namespace
}  // namespace kalvane
