#include "tray/tray_menu-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kalvane {
namespace {

// What the menu shows of the program's state: "立即更新" greyed while a cycle runs, "通知" checked
// while balloons are on, and no other item greyed or checked by either.
TEST(TrayMenu, UpdateNowIsGreyedWhileACycleRunsAndNotificationsCheckedWhileOn) {
  for (const bool running : {false, true}) {
    for (const bool on : {false, true}) {
      const UniqueMenu menu = CreateTrayMenu({.cycle_running = running, .notifications_on = on});
      ASSERT_TRUE(menu);
      const auto state = [&](TrayCommand command) {
        return GetMenuState(menu.get(), static_cast<UINT>(command), MF_BYCOMMAND);
      };
      EXPECT_EQ((state(TrayCommand::kUpdateNow) & MF_GRAYED) != 0, running);
      EXPECT_EQ((state(TrayCommand::kNotifications) & MF_CHECKED) != 0, on);
      EXPECT_EQ(state(TrayCommand::kUpdateNow) & MF_CHECKED, 0u);
      EXPECT_EQ(state(TrayCommand::kNotifications) & MF_GRAYED, 0u);
      for (const TrayCommand other : {TrayCommand::kStatus, TrayCommand::kExit}) {
        EXPECT_EQ(state(other) & (MF_GRAYED | MF_CHECKED), 0u) << static_cast<int>(other);
      }
    }
  }
}

}  // namespace
}  // namespace kalvane
