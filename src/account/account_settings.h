#pragma once

// The stored account: the format of "abc.txt". settings_file.h keeps the file safe on disk;
// account_form.h drives the boxes and the Save command.

#include <optional>
#include <string>
#include <string_view>

#include "account/password.h"
#include "base/ansi_code_page.h"
#include "md5/digest_text.h"

namespace kalvane {

// The account as "abc.txt" holds it. The file is text in the ANSI code page, one value per line,
// each line ended by CR LF, in one of three shapes:
//   (empty)                       account updating off
//   True                          updating on, no account stored
//   True / domain / digest        updating on with a domain name and the password's digest text
struct StoredAccount {
  bool updating = false;
  std::u16string domain;                 // exactly as typed, never trimmed
  std::optional<std::u16string> digest;  // always a well-formed digest text when present

  bool operator==(const StoredAccount&) const = default;
};

// IsDigestText (md5/digest_text.h) is the only text that may be stored as line 3; the password box
// holds it as a digest-form Password.

// Reads the bytes of "abc.txt" (a missing file reads as empty).
// - A line ends at CR LF, at a lone CR or at a lone LF. We write CR LF only; the other two are
//   accepted so that a file touched by another editor still loads.
// - Line 1 must be exactly "True" (case-sensitive, nothing around it); otherwise updating is off
//   and the rest of the file is not looked at.
// - Line 2 is the domain name, decoded from the code page and kept as it is.
// - Line 3 is the digest. Hex digits in lower case are read as the same digest in upper case. A
//   missing line 3, or one that is not a digest text, loads as no password: the password box
//   stays empty.
// - Lines after the third are ignored.
StoredAccount ParseAccountSettings(std::string_view file_bytes, const AnsiCodePage& code_page);

// The bytes that "abc.txt" is rewritten with: nothing for updating off, "True" alone when there is
// no digest (the domain is then not written either), else the three lines. kUnconvertible when the
// domain has no encoding in the code page, kRejected when the digest is not a digest text.
Result<std::string> ComposeAccountSettings(const StoredAccount& account,
                                           const AnsiCodePage& code_page);

// The boxes as AccountForm::Load fills them from the file. Both entry boxes are shown exactly
// when updating_enabled is true.
AccountBoxes BoxesFromStoredAccount(const StoredAccount& account);

// Any change of the password box that the program does not make itself (loading_password false)
// means the box no longer holds the digest: its text is then a typed password.
constexpr bool PasswordIsDigestAfterChange(bool password_is_digest, bool loading_password) {
  return loading_password && password_is_digest;
}

}  // namespace kalvane
