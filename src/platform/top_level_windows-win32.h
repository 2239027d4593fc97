#pragma once

// The top-level windows of a class on this desktop, whoever made them, and their processes.

#include <windows.h>

#include <vector>

namespace kalvane {

// The top-level windows of `window_class` on this desktop, of any process.
std::vector<HWND> WindowsOfClass(const wchar_t* window_class);

// The id of the process that made `window`; 0 when the window is gone.
DWORD WindowProcessId(HWND window);

}  // namespace kalvane
