#pragma once

#include <windows.h>
// The shell's declarations build on windows.h.
#include <shellapi.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/window_timer-win32.h"
#include "tray/tray_menu.h"

namespace kalvane {

// The message the shell sends to the main window for the tray icon's mouse events.
inline constexpr UINT kTrayCallbackMessage = WM_USER + 1001;  // 2025

// One callback of the icon: what happened, and where the menu opens for it.
struct TrayEvent {
  UINT code;     // a mouse message, WM_CONTEXTMENU, NIN_SELECT or NIN_KEYSELECT
  POINT anchor;  // screen coordinates
};

// The callback's arguments as the shell sends them: with NOTIFYICON_VERSION_4 the event is in
// LOWORD(lParam) (the icon id in HIWORD) and the anchor in wParam; before it lParam is the mouse
// message and the anchor is where the pointer is.
TrayEvent DecodeTrayCallback(WPARAM wparam, LPARAM lparam, bool version_4);

// The main window's one notification-area icon and the window hook that serves it. The icon
// exists only while the program is in the tray: `Add` hooks the window and adds the icon,
// `Remove` deletes it and unhooks the window. While hooked, the icon's callback message is
// handled here (a left click, Enter or Space restores the window; a right click, the
// context-menu key or Shift+F10 opens the menu; each only when the user can have made it:
// tray_notice_check-win32.h) and every other message goes on to the window's own procedure; when
// Explorer restarts the icon is added again.
// The window handle is borrowed: the hook removes itself if the window is destroyed first.
class TrayIcon {
 public:
  // Called with the item the user picked in the menu (tray_menu.h), after the menu has closed and
  // while the icon and hook are still in place. The owner decides what an item means (for "退出",
  // say, ending a cycle that waits for the network first); it may remove the icon or destroy the
  // window from inside the call.
  using CommandPicked = std::function<void(TrayCommand)>;
  // Asked as the menu opens: "立即更新" is greyed while a cycle runs, "通知" checked while on.
  using MenuState = std::function<TrayMenuState()>;

  TrayIcon(HWND window, CommandPicked on_command_picked, MenuState menu_state = {});
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Hooks the window, then adds the icon with the handle last given to SetIcon. True when the
  // icon is there (also when it already was); when the shell refuses the icon (its tray is not up
  // yet, at logon, or it is busy) the hook is taken off again and the answer is false: the icon is
  // then tried again every second while the window stays minimised, and the window goes into the
  // tray once it is there.
  bool Add();
  // Hides the window when it is minimised and the icon exists, so there is always a way back.
  void MinimizeToTray();
  // Deletes the icon, then unhooks the window; a retry that waits is given up. Harmless when not
  // installed.
  void Remove();
  // Applies the record to the existing icon; false when there is none (the handle waits for the
  // next Add).
  bool Modify();

  // Writes the icon handle into the record; nothing goes to the shell until Add or Modify. The
  // icon stays owned by the caller and must outlive its use here.
  void SetIcon(HICON icon) { data_.hIcon = icon; }
  // Writes the tool-tip into the record, cut to the record's room; like SetIcon it reaches the
  // shell with the next Add or Modify.
  void SetTip(std::wstring_view tip);
  bool IsInstalled() const { return installed_; }
  // Shows a notification from the icon (a balloon, or a toast on Windows 10 and 11, as the user's
  // notification settings allow). False when there is no icon to show it from, or the shell
  // refused it (Explorer restarting): the caller may try again later.
  bool ShowBalloon(std::wstring_view title, std::wstring_view text, bool warning);

  // The record's picture and tool-tip, for the tests only: the shell has no call that reads an
  // icon's picture or tip back, and they must be right also while no icon exists.
  HICON Icon() const { return data_.hIcon; }
  std::wstring Tip() const { return data_.szTip; }

 private:
  static LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                      UINT_PTR subclass_id, DWORD_PTR ref_data);
  LRESULT OnTrayCallback(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  void RestoreFromTray();
  void OpenMenu(POINT at);
  TrayCommand TrackTrayMenu(POINT at);
  bool AddToShell();
  void OnTaskbarCreated();
  void RetryAdd();

  HWND window_;
  CommandPicked on_command_picked_;
  MenuState menu_state_;
  NOTIFYICONDATAW data_{};
  UINT taskbar_created_;
  bool installed_ = false;
  bool version_4_ = false;  // the shell took NOTIFYICON_VERSION_4
  WindowTimer add_retry_;   // runs while an icon the shell refused is to be added again
};

}  // namespace kalvane
