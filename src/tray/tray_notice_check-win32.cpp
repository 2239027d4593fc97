#include "tray/tray_notice_check-win32.h"

// The shell's declarations build on windows.h.
#include <shellapi.h>

#include <array>
#include <cwchar>

#include "platform/system_function-win32.h"
#include "platform/top_level_windows-win32.h"

namespace kalvane {
namespace {

// The top-level windows the shell shows notification icons in.
constexpr std::array<const wchar_t*, 5> kNotificationAreaClasses = {
    L"Shell_TrayWnd",                        // the taskbar
    L"Shell_SecondaryTrayWnd",               // the taskbar of another monitor
    L"NotifyIconOverflowWindow",             // Windows 10's overflow of hidden icons
    L"TopLevelWindowForOverflowXamlIsland",  // Windows 11's overflow
    L"__winex11_standalone_tray",            // Wine's "Wine System Tray" of explorer
};

// The process that runs the shell. Wine's explorer, which draws the desktop and the tray, sets no
// shell window; its desktop window tells it. (Windows' desktop window belongs to no shell, and
// there the shell window is always set while the shell runs.)
DWORD ShellProcessId() {
  const HWND shell = GetShellWindow();
  return WindowProcessId(shell != nullptr ? shell : GetDesktopWindow());
}

}  // namespace

bool IsNotificationAreaWindow(HWND window) {
  const HWND top = window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr;
  if (top == nullptr) return false;
  wchar_t name[64] = L"";
  if (GetClassNameW(top, name, static_cast<int>(std::size(name))) == 0) return false;
  bool known = false;
  for (const wchar_t* area : kNotificationAreaClasses)
    known = known || std::wcscmp(name, area) == 0;
  const DWORD shell = ShellProcessId();
  return known && shell != 0 && WindowProcessId(top) == shell;
}

bool PointerOnTrayIcon(HWND window, UINT id) {
  POINT pointer{};
  if (!GetCursorPos(&pointer)) return false;
  // Windows 7 and later; Wine 8 has it but answers E_NOTIMPL.
  using GetRect = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
  if (const auto get_rect =
          LoadedSystemFunction<GetRect>(L"shell32.dll", "Shell_NotifyIconGetRect")) {
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window;
    icon.uID = id;
    RECT rect{};
    if (SUCCEEDED(get_rect(&icon, &rect))) return PtInRect(&rect, pointer) != FALSE;
  }
  return IsNotificationAreaWindow(WindowFromPoint(pointer));
}

bool NotificationAreaHasKeyboardFocus() {
  GUITHREADINFO foreground{};
  foreground.cbSize = sizeof(foreground);
  if (!GetGUIThreadInfo(0, &foreground)) return false;  // 0: the foreground thread
  return IsNotificationAreaWindow(foreground.hwndFocus != nullptr ? foreground.hwndFocus
                                                                  : foreground.hwndActive);
}

}  // namespace kalvane
