#include "app/account_controls-win32.h"

#include "app/window_layout.h"
#include "platform/wide_text-win32.h"

namespace kalvane {

bool WindowAccountControls::UpdatingEnabled() const {
  return IsDlgButtonChecked(window_, kUpdatingCheck) == BST_CHECKED;
}

void WindowAccountControls::SetUpdatingEnabled(bool enabled) {
  CheckDlgButton(window_, kUpdatingCheck, enabled ? BST_CHECKED : BST_UNCHECKED);
  ShowAccountBoxes(enabled);
}

std::u16string WindowAccountControls::Domain() const { return ControlText(kDomainEdit); }

void WindowAccountControls::SetDomain(std::u16string_view text) {
  SetControlText(kDomainEdit, text);
}

std::u16string WindowAccountControls::Password() const { return ControlText(kPasswordEdit); }

void WindowAccountControls::SetPassword(std::u16string_view text) {
  SetControlText(kPasswordEdit, text);
}

void WindowAccountControls::ShowMessage(std::u16string_view text) {
  MessageBoxW(window_, ToWide(text).c_str(), ToWide(kWindowCaption).c_str(), MB_OK);
}

void WindowAccountControls::ShowAccountBoxes(bool shown) {
  const int show = shown ? SW_SHOW : SW_HIDE;
  ShowWindow(GetDlgItem(window_, kDomainEdit), show);
  ShowWindow(GetDlgItem(window_, kPasswordEdit), show);
}

std::u16string WindowAccountControls::ControlText(int id) const {
  HWND control = GetDlgItem(window_, id);
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return FromWide(text);
}

void WindowAccountControls::SetControlText(int id, std::u16string_view text) {
  SetWindowTextW(GetDlgItem(window_, id), ToWide(text).c_str());
}

}  // namespace kalvane
