#include "tray/tray_menu-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace kalvane {
namespace {

// One line per item: its id, its text ("-" for a separator) and "greyed" when it is.
std::wstring Describe(HMENU menu) {
  std::wstring lines;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, i, MF_BYPOSITION);
    const bool separator = (state & MF_SEPARATOR) != 0;
    lines += std::to_wstring(GetMenuItemID(menu, i)) + L" " + (separator ? L"-" : text);
    if (!separator && (state & MF_GRAYED)) lines += L" greyed";
    if (!separator && (state & MF_CHECKED)) lines += L" checked";
    lines += L"\n";
  }
  return lines;
}

TEST(TrayMenu, UpdateNowStatusAndNotificationsComeBeforeASeparatorAndExit) {
  const UniqueMenu idle = CreateTrayMenu({.cycle_running = false, .notifications_on = true});
  ASSERT_TRUE(idle);
  EXPECT_EQ(Describe(idle.get()), L"2 立即更新(&U)\n3 状态(&S)\n4 通知(&N) checked\n0 -\n1 退出\n");
  const UniqueMenu busy = CreateTrayMenu({.cycle_running = true, .notifications_on = false});
  ASSERT_TRUE(busy);
  EXPECT_EQ(Describe(busy.get()), L"2 立即更新(&U) greyed\n3 状态(&S)\n4 通知(&N)\n0 -\n1 退出\n");
}

}  // namespace
}  // namespace kalvane
