#include "app/window_controls-win32.h"

#include "app/window_layout.h"
#include "platform/dpi-win32.h"
#include "platform/wide_text-win32.h"

namespace kalvane {
namespace {

struct ControlClass {
  const wchar_t* window_class;
  DWORD style;
};

ControlClass ClassFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::kCheckBox:
      return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP};
    case ControlKind::kLabel:
      return {L"STATIC", SS_LEFT};
    case ControlKind::kTextBox:
      return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER};
    case ControlKind::kPasswordBox:
      return {L"EDIT", ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP | WS_BORDER};
    case ControlKind::kButton:
      return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP};
  }
  return {L"STATIC", 0};
}

}  // namespace

void CreateControls(HWND window, HINSTANCE instance) {
  for (const ControlLayout& control : kControls) {
    const ControlClass control_class = ClassFor(control.kind);
    const bool edit =
        control.kind == ControlKind::kTextBox || control.kind == ControlKind::kPasswordBox;
    CreateWindowExW(edit ? WS_EX_CLIENTEDGE : 0, control_class.window_class,
                    ToWide(control.caption).c_str(), WS_CHILD | WS_VISIBLE | control_class.style, 0,
                    0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                    instance, nullptr);
  }
  HWND domain = GetDlgItem(window, kDomainEdit);
  HWND password = GetDlgItem(window, kPasswordEdit);
  SendMessageW(password, EM_SETPASSWORDCHAR, L'*', 0);
  // No length limit on the two boxes (an edit control stops at 32,767 characters by default).
  SendMessageW(domain, EM_SETLIMITTEXT, 0, 0);
  SendMessageW(password, EM_SETLIMITTEXT, 0, 0);
}

UniqueFont LayOutControls(HWND window, UINT dpi) {
  UniqueFont font = MessageFontForDpi(dpi);
  for (const ControlLayout& layout : kControls) {
    const PixelRect rect = ToPixels(layout.twips, static_cast<int>(dpi));
    HWND control = GetDlgItem(window, layout.id);
    SetWindowPos(control, nullptr, rect.left, rect.top, rect.width, rect.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  }
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
