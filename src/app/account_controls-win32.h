#pragma once

// The account form's controls as the main window's child controls: the updating check box, the
// domain and password boxes (shown exactly while the box is ticked) and the message box.

#include <windows.h>

#include <string>
#include <string_view>

#include "account/account_form.h"

namespace kalvane {

class WindowAccountControls final : public AccountControls {
 public:
  // The controls live on `window`, which is set once it exists; until then reading gives empty
  // boxes and writing does nothing.
  void SetWindow(HWND window) { window_ = window; }

  bool UpdatingEnabled() const override;
  void SetUpdatingEnabled(bool enabled) override;
  std::u16string Domain() const override;
  void SetDomain(std::u16string_view text) override;
  std::u16string Password() const override;
  void SetPassword(std::u16string_view text) override;
  void ShowMessage(std::u16string_view text) override;

  // Shows or hides the domain and password boxes.
  void ShowAccountBoxes(bool shown);

 private:
  std::u16string ControlText(int id) const;
  void SetControlText(int id, std::u16string_view text);

  HWND window_ = nullptr;
};

}  // namespace kalvane
