#include "tray/tray_icon-win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include <string_view>
#include <utility>

#include "platform/unique_handle-win32.h"
#include "tray/tray_menu-win32.h"
#include "tray/tray_notice_check-win32.h"

namespace kalvane {
namespace {

constexpr UINT_PTR kTraySubclassId = 1;
// How often an icon the shell refused is tried again.
constexpr UINT kAddRetryMs = 1000;

}  // namespace

TrayEvent DecodeTrayCallback(WPARAM wparam, LPARAM lparam, bool version_4) {
  if (version_4) {
    return {LOWORD(lparam), {GET_X_LPARAM(wparam), GET_Y_LPARAM(wparam)}};
  }
  TrayEvent event{static_cast<UINT>(lparam), {}};
  GetCursorPos(&event.anchor);
  return event;
}

TrayIcon::TrayIcon(HWND window, CommandPicked on_command_picked, MenuState menu_state)
    : window_(window),
      on_command_picked_(std::move(on_command_picked)),
      menu_state_(std::move(menu_state)),
      taskbar_created_(RegisterWindowMessageW(L"TaskbarCreated")),
      add_retry_([this] { RetryAdd(); }) {
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
  if (!AddToShell()) {
    data_.uFlags = 0;
    RemoveWindowSubclass(window_, TrayWndProc, kTraySubclassId);
    add_retry_.Start(kAddRetryMs);
    return false;
  }
  add_retry_.Stop();
  installed_ = true;
  return true;
}

void TrayIcon::RetryAdd() {
  // A window the user brought back meanwhile needs no icon.
  if (!IsIconic(window_)) {
    add_retry_.Stop();
    return;
  }
  if (Add()) MinimizeToTray();
}

void TrayIcon::MinimizeToTray() {
  if (installed_ && IsIconic(window_)) ShowWindow(window_, SW_HIDE);
}

void TrayIcon::Remove() {
  add_retry_.Stop();
  if (!installed_) return;
  installed_ = false;
  data_.uFlags = 0;
  Shell_NotifyIconW(NIM_DELETE, &data_);
  RemoveWindowSubclass(window_, TrayWndProc, kTraySubclassId);
}

bool TrayIcon::Modify() { return installed_ && Shell_NotifyIconW(NIM_MODIFY, &data_); }

bool TrayIcon::AddToShell() {
  if (!Shell_NotifyIconW(NIM_ADD, &data_)) return false;
  // Version 4 gives keyboard users the icon; a shell without it keeps the mouse messages only.
  NOTIFYICONDATAW version = data_;
  version.uVersion = NOTIFYICON_VERSION_4;
  version_4_ = Shell_NotifyIconW(NIM_SETVERSION, &version) != FALSE;
  return true;
}

bool TrayIcon::ShowBalloon(std::wstring_view title, std::wstring_view text, bool warning) {
  if (!installed_) return false;
  NOTIFYICONDATAW balloon = data_;
  balloon.uFlags = NIF_INFO;
  balloon.szInfoTitle[title.copy(balloon.szInfoTitle, std::size(balloon.szInfoTitle) - 1)] = L'\0';
  balloon.szInfo[text.copy(balloon.szInfo, std::size(balloon.szInfo) - 1)] = L'\0';
  balloon.dwInfoFlags = (warning ? NIIF_WARNING : NIIF_INFO) | NIIF_RESPECT_QUIET_TIME;
  return Shell_NotifyIconW(NIM_MODIFY, &balloon) != FALSE;
}

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
  const TrayEvent event = DecodeTrayCallback(wparam, lparam, version_4_);
  // Any program can post this message: a notice the user cannot have made changes nothing. Before
  // version 4 the shell reports the keyboard's menu key as a right button release too.
  const bool select = event.code == WM_LBUTTONUP || event.code == NIN_SELECT;
  const bool by_keyboard = event.code == NIN_KEYSELECT;
  if ((select || by_keyboard) && IsIconic(window_)) {
    if (by_keyboard ? NotificationAreaHasKeyboardFocus() : PointerOnTrayIcon(window_, data_.uID)) {
      RestoreFromTray();
    }
    return 0;
  }
  // Version 4 follows a right click's release with WM_CONTEXTMENU, as it does the keyboard's.
  if (event.code == (version_4_ ? WM_CONTEXTMENU : WM_RBUTTONUP)) {
    if (PointerOnTrayIcon(window_, data_.uID) || NotificationAreaHasKeyboardFocus()) {
      OpenMenu(event.anchor);
    }
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

void TrayIcon::OpenMenu(POINT at) {
  // Copied first: the owner may destroy this object from inside the call.
  CommandPicked on_command_picked = on_command_picked_;
  const TrayCommand picked = TrackTrayMenu(at);
  if (picked != TrayCommand::kNone && on_command_picked) on_command_picked(picked);
}

void TrayIcon::RestoreFromTray() {
  Remove();
  ShowWindow(window_, SW_RESTORE);
  SetForegroundWindow(window_);
  SetFocus(window_);
}

TrayCommand TrayIcon::TrackTrayMenu(POINT at) {
  const UniqueMenu menu = CreateTrayMenu(menu_state_ ? menu_state_() : TrayMenuState{});
  if (!menu) return TrayCommand::kNone;
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
  if (!AddToShell()) Shell_NotifyIconW(NIM_MODIFY, &data_);
}

}  // namespace kalvane
