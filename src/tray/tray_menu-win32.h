#pragma once

// The tray menu on screen, built from its items (tray_menu.h).

#include <windows.h>

#include "platform/unique_handle-win32.h"
#include "tray/tray_menu.h"

namespace kalvane {

// The popup menu of kTrayMenuItems, top to bottom, each item's id its TrayCommand; "立即更新"
// greyed while a cycle runs, "通知" checked while balloons are on. Empty when the menu could not
// be made.
UniqueMenu CreateTrayMenu(const TrayMenuState& state);

}  // namespace kalvane
