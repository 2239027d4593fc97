#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "account/account_settings.h"
#include "account/settings_file.h"
#include "base/ansi_code_page.h"

namespace kalvane {

// The window's account controls as the form sees them: the updating check box and the domain and
// password boxes, and the message box.
class AccountControls {
 public:
  virtual ~AccountControls() = default;
  virtual bool UpdatingEnabled() const = 0;
  // Ticks or clears the check box; the two boxes are shown exactly while it is ticked.
  virtual void SetUpdatingEnabled(bool enabled) = 0;
  virtual std::u16string Domain() const = 0;
  virtual void SetDomain(std::u16string_view text) = 0;
  virtual std::u16string Password() const = 0;
  // The box reports the change (OnPasswordChanged) before this returns.
  virtual void SetPassword(std::u16string_view text) = 0;
  virtual void ShowMessage(std::u16string_view text) = 0;
};

enum class SaveMessage {
  kNone,
  kDomainOrPasswordEmpty,  // updating on with an empty domain or password
  kPasswordNotDigestible,  // nothing saved: the password cannot be digested
  kDomainNotEncodable,     // nothing saved: the domain has no encoding in the ANSI code page
};

// The text of the message box that Save shows, empty for kNone.
std::u16string_view SaveMessageText(SaveMessage message);

// What the Save command does with the boxes; the form carries it out.
struct SaveOutcome {
  // The new content of "abc.txt"; nothing means leave the file untouched.
  std::optional<std::string> file_bytes;
  SaveMessage message = SaveMessage::kNone;
  // The digest that replaces the typed password in the password box (written as the program's
  // own change).
  std::optional<Password> new_password;
};

// The Save command without the window, the file and the message box:
// - updating off: the file is emptied;
// - updating on with an empty domain or password (not trimmed): the file holds "True" alone and
//   the message kDomainOrPasswordEmpty is shown;
// - otherwise the three lines, the password as its digest (Password::Digest); a typed password is
//   then replaced by its digest in the box.
// When the password cannot be digested or the domain not encoded, the file and the boxes stay as
// they were, so the stored account is not lost, and a message says so. The update cycle that
// follows Save runs in every case.
SaveOutcome SaveAccountSettings(const AccountBoxes& boxes, const AnsiCodePage& code_page);

// Loading the stored account into the controls, the Save command, and which of the two the
// password box holds: the typed password or its digest (Current() hands it out as a Password).
class AccountForm final : public AccountSource {
 public:
  AccountForm(AccountControls& controls, SettingsFile& settings, const AnsiCodePage& code_page)
      : controls_(controls), settings_(settings), code_page_(code_page) {}
  AccountForm(const AccountForm&) = delete;
  AccountForm& operator=(const AccountForm&) = delete;

  // Fills the controls from "abc.txt"; a missing or unreadable file leaves updating off.
  void Load();
  // Saves the controls to "abc.txt" (the password as its digest) and says what went wrong in a
  // message box. The update cycle that follows is the caller's.
  void Save();
  // The password box changed.
  void OnPasswordChanged();

  // What the controls hold now.
  AccountBoxes Current() const override;
  bool PasswordIsDigest() const { return password_is_digest_; }

 private:
  // Writes the boxes as the program's own change, so that a digest-form `password` keeps counting
  // as the digest. No events are delivered meanwhile: the box reports its
  // change before SetPassword returns, and an event delivered while the flag is raised (a timer
  // tick or a second Save starting a cycle that then waits) would let the user's typing pass for
  // the program's own.
  void WriteBoxesQuietly(const std::optional<std::u16string>& domain, const Password& password);

  AccountControls& controls_;
  SettingsFile& settings_;
  const AnsiCodePage& code_page_;
  bool password_is_digest_ = false;
  bool loading_password_ = false;
};

}  // namespace kalvane
