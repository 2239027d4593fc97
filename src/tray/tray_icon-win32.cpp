#include "tray/tray_icon-win32.h"

#include <commctrl.h>

#include <string_view>
#include <utility>

#include "platform/unique_handle-win32.h"
#include "tray/tray_menu-win32.h"
#include "tray/tray_notice_check-win32.h"

namespace kalvane {
namespace {

constexpr UINT_PTR kTraySubclassId = 1;

}  // namespace

TrayIcon::TrayIcon(HWND window, CommandPicked on_command_picked, CycleRunning cycle_running)
    : window_(window),
      on_command_picked_(std::move(on_command_picked)),
      cycle_running_(std::move(cycle_running)),
      taskbar_created_(RegisterWindowMessageW(L"TaskbarCreated")) {
  data_.cbSize = sizeof(data_);
  data_.hWnd = window_;
  data_.uID = 0;
  data_.uCallbackMessage = kTrayCallbackMessage;
  SetTip(L"Kalvane");
  // An elevated process only sees the shell's broadcast when it lets it through.
  if (taskbar_created_ != 0) {
    ChangeWindowMessageFilterEx(window_, taskbar_created_, MSGFLT_ALLOW, nullptr);
  }
}

TrayIcon::~TrayIcon() { Remove(); }

void TrayIcon::SetTip(std::wstring_view tip) {
  const std::size_t length = tip.copy(data_.szTip, std::size(data_.szTip) - 1);
  data_.szTip[length] = L'\0';
}

bool TrayIcon::Add() {
  if (installed_) return true;
  // The hook goes first, so the icon's first message already finds it.
  if (!SetWindowSubclass(window_, TrayWndProc, kTraySubclassId,
                         reinterpret_cast<DWORD_PTR>(this))) {
    return false;
  }
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  if (!Shell_NotifyIconW(NIM_ADD, &data_)) {
    data_.uFlags = 0;
    RemoveWindowSubclass(window_, TrayWndProc, kTraySubclassId);
    return false;
  }
  installed_ = true;
  return true;
}

void TrayIcon::MinimizeToTray() {
  if (installed_ && IsIconic(window_)) ShowWindow(window_, SW_HIDE);
}

void TrayIcon::Remove() {
  if (!installed_) return;
  installed_ = false;
  data_.uFlags = 0;
  Shell_NotifyIconW(NIM_DELETE, &data_);
  RemoveWindowSubclass(window_, TrayWndProc, kTraySubclassId);
}

bool TrayIcon::Modify() { return installed_ && Shell_NotifyIconW(NIM_MODIFY, &data_); }

LRESULT CALLBACK TrayIcon::TrayWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                       DWORD_PTR ref_data) {
  auto* self = reinterpret_cast<TrayIcon*>(ref_data);
  if (msg == kTrayCallbackMessage) return self->OnTrayCallback(hwnd, msg, wparam, lparam);
  if (msg == self->taskbar_created_ && self->taskbar_created_ != 0) self->OnTaskbarCreated();
  // The window is going away while still in the tray: take the icon and the hook with it.
  if (msg == WM_NCDESTROY) self->Remove();
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

LRESULT TrayIcon::OnTrayCallback(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  // Without NOTIFYICON_VERSION_4 the whole lParam is the mouse message; wParam is the icon id.
  // Any program can post this message: a notice the user cannot have made changes nothing.
  const auto mouse = static_cast<UINT>(lparam);
  if (mouse == WM_LBUTTONUP && IsIconic(window_)) {
    if (PointerOnTrayIcon(window_, data_.uID)) RestoreFromTray();
    return 0;
  }
  if (mouse == WM_RBUTTONUP) {
    // Before version 4 the shell reports the keyboard's menu key as a right button release too.
    if (!PointerOnTrayIcon(window_, data_.uID) && !NotificationAreaHasKeyboardFocus()) return 0;
    // Copied first: the owner may destroy this object from inside the call.
    CommandPicked on_command_picked = on_command_picked_;
    const TrayCommand picked = TrackTrayMenu();
    if (picked != TrayCommand::kNone && on_command_picked) on_command_picked(picked);
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

void TrayIcon::RestoreFromTray() {
  Remove();
  ShowWindow(window_, SW_RESTORE);
  SetForegroundWindow(window_);
  SetFocus(window_);
}

TrayCommand TrayIcon::TrackTrayMenu() {
  const UniqueMenu menu = CreateTrayMenu(cycle_running_ && cycle_running_());
  if (!menu) return TrayCommand::kNone;
  POINT at{};
  GetCursorPos(&at);
  // Without the foreground the menu would not close when the user clicks elsewhere; the WM_NULL
  // afterwards makes the switch back take effect at once.
  SetForegroundWindow(window_);
  const auto picked = static_cast<TrayCommand>(
      TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, window_, nullptr));
  PostMessageW(window_, WM_NULL, 0, 0);
  return picked;
}

void TrayIcon::OnTaskbarCreated() {
  if (!installed_) return;
  // A new shell has no icon of ours; a shell that only changed its DPI still has it.
  if (!Shell_NotifyIconW(NIM_ADD, &data_)) Shell_NotifyIconW(NIM_MODIFY, &data_);
}

}  // namespace kalvane
