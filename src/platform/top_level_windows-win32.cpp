#include "platform/top_level_windows-win32.h"

namespace kalvane {

std::vector<HWND> WindowsOfClass(const wchar_t* window_class) {
  std::vector<HWND> windows;
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, window_class, nullptr)) != nullptr) {
    windows.push_back(window);
  }
  return windows;
}

DWORD WindowProcessId(HWND window) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  return process_id;
}

}  // namespace kalvane
