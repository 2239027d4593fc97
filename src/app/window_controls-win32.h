#pragma once

// The main window's controls on screen: created from the layout table (window_layout.h) and
// placed for the window's DPI.

#include <windows.h>

#include "platform/unique_handle-win32.h"

namespace kalvane {

inline constexpr DWORD kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD kMainWindowExStyle = WS_EX_CONTROLPARENT;

// Creates the controls of the layout table as children of `window`, in focus order; they are
// placed by LayOutControls.
void CreateControls(HWND window, HINSTANCE instance);

// Places the controls for `dpi` in the system's message font for it and sizes the window's client
// area to match. Returns that font: the caller keeps it while the controls use it.
UniqueFont LayOutControls(HWND window, UINT dpi);

}  // namespace kalvane
