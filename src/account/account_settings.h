#pragma once

// The stored account: the format of "abc.txt" and what the Save command makes of the window's
// account boxes. settings_file.h keeps the file safe on disk; account_form.h drives the boxes.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/ansi_code_page.h"
#include "base/digest_form.h"

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

// IsDigestText (base/digest_form.h) is the only text that may be stored as line 3 or kept in the
// password box while password_is_digest is true.

// Reads the bytes of "abc.txt" (a missing file reads as empty).
// - A line ends at CR LF, at a lone CR or at a lone LF. We write CR LF only; the other two are
//   accepted so that a file touched by another editor still loads.
// - Line 1 must be exactly "True" (case-sensitive, nothing around it); otherwise updating is off
//   and the rest of the file is not looked at.
// - Line 2 is the domain name, decoded from the code page and kept as it is.
// - Line 3 is the digest. Hex digits in lower case are read as the same digest in upper case. A
//   missing line 3, or one that is not a digest text, loads as no password: the password box
//   stays empty and password_is_digest false.
// - Lines after the third are ignored.
StoredAccount ParseAccountSettings(std::string_view file_bytes, const AnsiCodePage& code_page);

// The bytes that "abc.txt" is rewritten with: nothing for updating off, "True" alone when there is
// no digest (the domain is then not written either), else the three lines. Nothing when the domain
// has no encoding in the code page or the digest is not a digest text.
std::optional<std::string> ComposeAccountSettings(const StoredAccount& account,
                                                  const AnsiCodePage& code_page);

// What the account controls of the main window hold.
struct AccountBoxes {
  bool updating_enabled = false;
  std::u16string domain;
  std::u16string password;  // the typed password, or its digest text while password_is_digest
  bool password_is_digest = false;

  bool operator==(const AccountBoxes&) const = default;
};

// The boxes as LoadAccountSettings fills them from the file. Both entry boxes are shown exactly
// when updating_enabled is true.
AccountBoxes BoxesFromStoredAccount(const StoredAccount& account);

// Any change of the password box that the program does not make itself (loading_password false)
// means the box no longer holds the digest.
constexpr bool PasswordIsDigestAfterChange(bool password_is_digest, bool loading_password) {
  return loading_password && password_is_digest;
}

// The digest text of a password, or nothing when it cannot be digested (a character without a
// single-byte ANSI code, or a text too long). DigestStrToHexStr in the product.
using PasswordDigester = std::function<std::optional<std::u16string>(std::u16string_view)>;

enum class SaveMessage {
  kNone,
  kDomainOrPasswordEmpty,  // updating on with an empty domain or password
  kPasswordNotDigestible,  // nothing saved: the password cannot be digested
  kDomainNotEncodable,     // nothing saved: the domain has no encoding in the ANSI code page
};

// The text of the message box that Save shows, empty for kNone.
std::u16string_view SaveMessageText(SaveMessage message);

// What the Save command does with the boxes; the window carries it out.
struct SaveOutcome {
  // The new content of "abc.txt"; nothing means leave the file untouched.
  std::optional<std::string> file_bytes;
  SaveMessage message = SaveMessage::kNone;
  // The digest that replaces the typed password in the password box (written as the program's
  // own change).
  std::optional<std::u16string> new_password_text;
  // password_is_digest after the save.
  bool password_is_digest = false;
};

// The Save command without the window, the file and the message box:
// - updating off: the file is emptied;
// - updating on with an empty domain or password (not trimmed): the file holds "True" alone and
//   the message kDomainOrPasswordEmpty is shown;
// - otherwise the three lines, the password digested unless password_is_digest says the box
//   holds the digest already; a typed password is then replaced by its digest in the box.
// When the password cannot be digested or the domain not encoded, the file and the boxes stay as
// they were, so the stored account is not lost, and a message says so. The update cycle that
// follows Save runs in every case.
SaveOutcome SaveAccountSettings(const AccountBoxes& boxes, const AnsiCodePage& code_page,
                                const PasswordDigester& digest_password);

}  // namespace kalvane
