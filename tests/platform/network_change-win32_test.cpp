#include "platform/network_change-win32.h"

#include <gtest/gtest.h>

namespace kalvane {
namespace {

// Every supported Windows, and Wine 8, has the notification; it registers and cancels cleanly.
// (No test can make an interface come up here; the post on the system's thread is one call.)
TEST(NetworkChangeNoticeTest, RegistersWithTheSystemAndCancels) {
  HWND window = CreateWindowExW(0, L"STATIC", L"Kalvane network test", WS_OVERLAPPED, 0, 0, 100,
                                100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  {
    const NetworkChangeNotice notice(window, WM_APP + 7);
    EXPECT_TRUE(notice.Active());
  }
  DestroyWindow(window);
}

}  // namespace
}  // namespace kalvane
