#pragma once

#include <windows.h>

#include "platform/unique_handle-win32.h"

namespace kalvane {

// Per-monitor DPI helpers. The DPI-aware calls exist from Windows 10 1607 on; on older systems
// the system DPI and the plain calls stand in.
UINT WindowDpi(HWND window);
// The window rectangle for a client rectangle at `dpi`.
RECT WindowRectForClient(const RECT& client, DWORD style, DWORD ex_style, UINT dpi);
// The system's message font (lfMessageFont) for `dpi`.
UniqueFont MessageFontForDpi(UINT dpi);

}  // namespace kalvane
