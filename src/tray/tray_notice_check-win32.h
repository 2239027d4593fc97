#pragma once

// Whether a notice of the tray icon can have come from the user. The icon's callback message
// reaches the main window through its message queue, where any program of the desktop can post
// it too (the shell runs without elevation, so the window must let such messages in), with any
// content. A notice is believed only when the user can have made it: the pointer is over the
// icon, or, for the keyboard, the shell's notification area has the keyboard focus.

#include <windows.h>

namespace kalvane {

// True when the pointer is over the icon (`window`, `id`). Where the shell cannot say where the
// icon is (Windows before 7, Wine, an icon in a closed overflow area), the window under the
// pointer must be one of the shell's notification-area windows.
bool PointerOnTrayIcon(HWND window, UINT id);

// True when the keyboard focus is in one of the shell's notification-area windows: the only way
// the user can have picked an icon with the keyboard (the version 4 notices NIN_KEYSELECT and a
// keyboard's WM_CONTEXTMENU, or an older shell's right button release for the menu key).
bool NotificationAreaHasKeyboardFocus();

// True when `window` lies in a notification-area window of the shell: its top-level window has
// one of the classes the shell draws that area with, and the shell's process made it.
bool IsNotificationAreaWindow(HWND window);

}  // namespace kalvane
