#pragma once

// The tray menu's items, top to bottom. The Windows side (tray_menu-win32.cpp) builds the popup
// menu from this table.

#include <array>
#include <string_view>

namespace kalvane {

// Command ids of the tray menu; "退出" keeps the id it always had.
enum class TrayCommand : unsigned {
  kNone = 0,  // a separator, or no item picked
  kExit = 1,
  kUpdateNow = 2,
  kStatus = 3,
};

struct TrayMenuItem {
  TrayCommand command;       // kNone for the separator
  std::u16string_view text;  // with its access key after "&"
  bool greyed_while_cycle_runs;
};

inline constexpr std::array<TrayMenuItem, 4> kTrayMenuItems{{
    {TrayCommand::kUpdateNow, u"立即更新(&U)", true},
    {TrayCommand::kStatus, u"状态(&S)", false},
    {TrayCommand::kNone, u"", false},
    {TrayCommand::kExit, u"退出", false},
}};

}  // namespace kalvane
