#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "account/account_form.h"

namespace kalvane::testing {

// The window's account controls in memory. Setting the password reports the change to `form` at
// once, as an edit control does while its text is set.
class FakeAccountControls : public AccountControls {
 public:
  bool UpdatingEnabled() const override { return updating; }
  void SetUpdatingEnabled(bool enabled) override { updating = enabled; }
  std::u16string Domain() const override { return domain; }
  void SetDomain(std::u16string_view text) override { domain = text; }
  std::u16string Password() const override { return password; }
  void SetPassword(std::u16string_view text) override {
    password = text;
    if (form_to_notify != nullptr) form_to_notify->OnPasswordChanged();
  }
  void ShowMessage(std::u16string_view text) override { messages.emplace_back(text); }

  AccountForm* form_to_notify = nullptr;
  bool updating = false;
  std::u16string domain;
  std::u16string password;
  std::vector<std::u16string> messages;
};

}  // namespace kalvane::testing
