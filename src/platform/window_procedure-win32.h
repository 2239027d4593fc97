#pragma once

#include <windows.h>

namespace kalvane {

// The window procedure of a window that a C++ object owns. CreateWindowExW's last argument is the
// owner: it is kept in the window's GWLP_USERDATA from WM_NCCREATE on, and every message from
// WM_NCCREATE to WM_NCDESTROY (both included) goes to its member `Handle`. After WM_NCDESTROY the
// window forgets the owner, so a late message can never reach an object that is gone. Messages
// that come before WM_NCCREATE (WM_GETMINMAXINFO, for one) go to DefWindowProcW.
//
//   window_class.lpfnWndProc = &MemberWindowProc<Widget, &Widget::HandleMessage>;
template <typename Owner, LRESULT (Owner::*Handle)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK MemberWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (owner == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return (owner->*Handle)(hwnd, message, wparam, lparam);
}

// The same for a dialog box: the owner comes as WM_INITDIALOG's lParam (the last argument of
// CreateDialogIndirectParamW and its kin) and is kept in DWLP_USER; `Handle` answers TRUE for a
// message it handled. Messages before WM_INITDIALOG (WM_SETFONT, for one) get the dialog's
// default handling.
template <typename Owner, INT_PTR (Owner::*Handle)(HWND, UINT, WPARAM, LPARAM)>
INT_PTR CALLBACK MemberDialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (owner == nullptr) return FALSE;
  if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, DWLP_USER, 0);
  return (owner->*Handle)(hwnd, message, wparam, lparam);
}

}  // namespace kalvane
