#include "app/window_controls-win32.h"

#include <array>

#include "app/window_layout.h"
#include "platform/control_table-win32.h"
#include "platform/dpi-win32.h"

namespace kalvane {
namespace {

constexpr DWORD kBoxStyle = ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER;

// The controls, created in this order, which is also the Tab order of the ones that take focus:
// domain, password, web page, Save, account updating (labels take none).
constexpr std::array<ControlRow, 7> kMainControls{{
    {kDomainLabel, L"STATIC", L"域名：", SS_LEFT},
    {kDomainEdit, L"EDIT", L"", kBoxStyle, WS_EX_CLIENTEDGE},
    {kPasswordLabel, L"STATIC", L"密码：", SS_LEFT},
    {kPasswordEdit, L"EDIT", L"", kBoxStyle | ES_PASSWORD, WS_EX_CLIENTEDGE},
    {kWebPageButton, L"BUTTON", L"官网", BS_PUSHBUTTON | WS_TABSTOP},
    {kSaveButton, L"BUTTON", L"保存", BS_PUSHBUTTON | WS_TABSTOP},
    {kUpdatingCheck, L"BUTTON", L"账号更新", BS_AUTOCHECKBOX | WS_TABSTOP},
}};

}  // namespace

void CreateControls(HWND window, HINSTANCE instance) {
  CreateControlTable(window, instance, kMainControls);
  HWND domain = GetDlgItem(window, kDomainEdit);
  HWND password = GetDlgItem(window, kPasswordEdit);
  SendMessageW(password, EM_SETPASSWORDCHAR, L'*', 0);
  // No length limit on the two boxes (an edit control stops at 32,767 characters by default).
  SendMessageW(domain, EM_SETLIMITTEXT, 0, 0);
  SendMessageW(password, EM_SETLIMITTEXT, 0, 0);
}

UniqueFont LayOutControls(HWND window, UINT dpi) {
  UniqueFont font = MessageFontForDpi(dpi);
  for (const ControlPlace& place : kControlPlaces) {
    const PixelRect rect = ToPixels(place.twips, static_cast<int>(dpi));
    SetWindowPos(GetDlgItem(window, place.id), nullptr, rect.left, rect.top, rect.width,
                 rect.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetControlTableFont(window, kMainControls, font.get());
  const PixelRect client = ToPixels(kClientTwips, static_cast<int>(dpi));
  const RECT frame = WindowRectForClient({0, 0, client.width, client.height}, kMainWindowStyle,
                                         kMainWindowExStyle, dpi);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  return font;
}

HWND FocusedControl(HWND window) {
  HWND focus = GetFocus();
  return focus != nullptr && IsChild(window, focus) ? focus : nullptr;
}

void FocusControl(HWND window, HWND remembered) {
  HWND target = remembered;
  if (target == nullptr || !IsChild(window, target) || !IsWindowVisible(target) ||
      !IsWindowEnabled(target)) {
    target = GetNextDlgTabItem(window, nullptr, FALSE);
  }
  if (target != nullptr) SetFocus(target);
}

}  // namespace kalvane
