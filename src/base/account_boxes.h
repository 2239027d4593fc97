#pragma once

#include <string>

namespace kalvane {

// The account as the window's controls hold it: what Save stores and what an update cycle sends.
struct AccountBoxes {
  bool updating_enabled = false;
  std::u16string domain;
  std::u16string password;  // the typed password, or its digest text while password_is_digest
  bool password_is_digest = false;

  bool operator==(const AccountBoxes&) const = default;
};

// Where the account is read from when it is needed: at the start of a cycle, and again for the
// updating box once the answer is in (the user may have changed it while the cycle waited).
class AccountSource {
 public:
  virtual ~AccountSource() = default;
  virtual AccountBoxes Current() const = 0;
};

}  // namespace kalvane
