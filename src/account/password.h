#pragma once

// The account's password as the password box holds it, and the account the boxes hold. They live
// here, beside the digest, because both the update cycle (sync) and the account file (account)
// take them and the digest is what either of them does with a password.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/ansi_code_page.h"
#include "base/status.h"

namespace kalvane {

// Either the text the user typed or the digest text that stands for it (loaded from "abc.txt" or
// put into the box by Save). A digest-form password always holds a digest text (IsDigestText):
// only the digest is ever stored or sent.
class Password {
 public:
  // An empty typed password.
  Password() = default;

  static Password Typed(std::u16string_view text) { return Password(std::u16string(text), false); }
  // Nothing unless `text` is a digest text.
  static std::optional<Password> FromDigest(std::u16string_view text);

  bool is_digest() const { return is_digest_; }
  bool empty() const { return text_.empty(); }
  // What the password box shows.
  const std::u16string& text() const { return text_; }

  // The digest text to store or send: the digest itself, or the typed text's digest with each
  // character as its single byte in `code_page` (kUnconvertible when one has none).
  Result<std::string> Digest(const AnsiCodePage& code_page) const;

  bool operator==(const Password&) const = default;

 private:
  Password(std::u16string text, bool is_digest) : text_(std::move(text)), is_digest_(is_digest) {}

  std::u16string text_;
  bool is_digest_ = false;
};

// The account as the window's controls hold it: what Save stores and what an update cycle sends.
struct AccountBoxes {
  bool updating_enabled = false;
  std::u16string domain;
  Password password;

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
