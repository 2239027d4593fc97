#include "tray/tray_menu-win32.h"

#include <string>

#include "platform/wide_text-win32.h"

namespace kalvane {

UniqueMenu CreateTrayMenu(const TrayMenuState& state) {
  UniqueMenu menu(CreatePopupMenu());
  if (!menu) return menu;
  for (const TrayMenuItem& item : kTrayMenuItems) {
    BOOL added = FALSE;
    if (item.command == TrayCommand::kNone) {
      added = AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    } else {
      const UINT greyed = item.greyed_while_cycle_runs && state.cycle_running ? MF_GRAYED : 0;
      const UINT checked =
          item.command == TrayCommand::kNotifications && state.notifications_on ? MF_CHECKED : 0;
      added = AppendMenuW(menu.get(), MF_STRING | greyed | checked,
                          static_cast<UINT_PTR>(item.command), ToWide(item.text).c_str());
    }
    if (!added) return UniqueMenu();
  }
  return menu;
}

}  // namespace kalvane
