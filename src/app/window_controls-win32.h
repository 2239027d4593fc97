#pragma once

// The main window's controls on screen: created from the window's control table and placed for
// the window's DPI as window_layout.h says.

#include <windows.h>

#include "platform/unique_handle-win32.h"

namespace kalvane {

inline constexpr DWORD kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD kMainWindowExStyle = WS_EX_CONTROLPARENT;

// Creates the window's controls as children of `window`, in focus order; they are placed by
// LayOutControls.
void CreateControls(HWND window, HINSTANCE instance);

// Places the controls for `dpi` in the system's message font for it and sizes the window's client
// area to match. Returns that font: the caller keeps it while the controls use it.
UniqueFont LayOutControls(HWND window, UINT dpi);

// The control of `window` that has the keyboard focus; nullptr when none of them has it.
HWND FocusedControl(HWND window);
// The keyboard focus belongs to a control, as in a dialog: `remembered` (the one that had it when
// the window was last left), or the first in the focus order when that one is gone or hidden.
void FocusControl(HWND window, HWND remembered);

}  // namespace kalvane
