#pragma once

// The tray menu's items, top to bottom. The Windows side (tray_menu-win32.cpp) builds the popup
// menu from this table.

#include <array>
#include <string_view>

namespace kalvane {

// Command ids of the tray menu: each item's id in the popup menu, reported when it is picked.
enum class TrayCommand : unsigned {
  kNone = 0,  // a separator, or no item picked
  kExit = 1,
  kUpdateNow = 2,
  kStatus = 3,
  kNotifications = 4,  // checked while balloons are on
};

struct TrayMenuItem {
  TrayCommand command;       // kNone for the separator
  std::u16string_view text;  // with its access key, where it has one, after "&"
  bool greyed_while_cycle_runs;
};

// What the menu shows of the program's state as it opens.
struct TrayMenuState {
  bool cycle_running = false;     // "立即更新" greyed
  bool notifications_on = false;  // "通知" checked
};

inline constexpr std::array<TrayMenuItem, 5> kTrayMenuItems{{
    {TrayCommand::kUpdateNow, u"立即更新(&U)", true},
    {TrayCommand::kStatus, u"状态(&S)", false},
    {TrayCommand::kNotifications, u"通知(&N)", false},
    {TrayCommand::kNone, u"", false},
    {TrayCommand::kExit, u"退出", false},
}};

}  // namespace kalvane
