#include "account/account_form.h"

#include <utility>

#include "base/scoped_flag.h"
#include "md5/digest_text.h"

namespace kalvane {
namespace {

// Says that the account file, named as it is on disk, could not be written.
std::u16string SettingsNotSavedText() {
  const std::wstring_view name = kSettingsFileName;
  return u"无法写入账号设置文件 " + std::u16string(name.begin(), name.end()) + u"，账号未保存。";
}

}  // namespace

std::u16string_view SaveMessageText(SaveMessage message) {
  switch (message) {
    case SaveMessage::kNone:
      return u"";
    case SaveMessage::kDomainOrPasswordEmpty:
      return u"域名和密码都不能为空！";
    case SaveMessage::kPasswordNotDigestible:
      return u"密码含有无法转换的字符，未保存。";
    case SaveMessage::kDomainNotEncodable:
      return u"域名含有无法转换的字符，未保存。";
  }
  return u"";
}

SaveOutcome SaveAccountSettings(const AccountBoxes& boxes, const AnsiCodePage& code_page) {
  SaveOutcome outcome;
  if (!boxes.updating_enabled) {
    outcome.file_bytes.emplace();
    return outcome;
  }
  if (boxes.domain.empty() || boxes.password.empty()) {
    outcome.file_bytes = ComposeAccountSettings({true, u"", std::nullopt}, code_page).value();
    outcome.message = SaveMessage::kDomainOrPasswordEmpty;
    return outcome;
  }

  const Result<std::string> digest = boxes.password.Digest(code_page);
  if (!digest) {
    outcome.message = SaveMessage::kPasswordNotDigestible;
    return outcome;
  }
  const std::u16string digest_text(digest->begin(), digest->end());  // hex digits: ASCII
  Result<std::string> bytes = ComposeAccountSettings(
      {.updating = true, .domain = boxes.domain, .digest = digest_text}, code_page);
  if (!bytes) {
    outcome.message = SaveMessage::kDomainNotEncodable;
    return outcome;
  }
  outcome.file_bytes = std::move(bytes).value();
  if (!boxes.password.is_digest()) outcome.new_password = Password::FromDigest(digest_text);
  return outcome;
}

void AccountForm::Load() {
  controls_.SetUpdatingEnabled(false);
  const Result<std::string> content = settings_.Read();
  if (!content) return;
  const StoredAccount stored = ParseAccountSettings(*content, code_page_);
  if (!stored.updating) return;

  const AccountBoxes boxes = BoxesFromStoredAccount(stored);
  WriteBoxesQuietly(boxes.domain, boxes.password);
  controls_.SetUpdatingEnabled(true);
}

void AccountForm::Save() {
  const SaveOutcome outcome = SaveAccountSettings(Current(), code_page_);
  const bool saved = !outcome.file_bytes || settings_.Write(*outcome.file_bytes).ok();
  if (!saved) {
    controls_.ShowMessage(SettingsNotSavedText());
    return;
  }
  if (outcome.new_password) WriteBoxesQuietly(std::nullopt, *outcome.new_password);
  if (outcome.message != SaveMessage::kNone)
    controls_.ShowMessage(SaveMessageText(outcome.message));
}

void AccountForm::OnPasswordChanged() {
  password_is_digest_ = PasswordIsDigestAfterChange(password_is_digest_, loading_password_);
}

AccountBoxes AccountForm::Current() const {
  const std::u16string text = controls_.Password();
  const std::optional<Password> digest =
      password_is_digest_ ? Password::FromDigest(text) : std::nullopt;
  return {controls_.UpdatingEnabled(), controls_.Domain(), digest.value_or(Password::Typed(text))};
}

void AccountForm::WriteBoxesQuietly(const std::optional<std::u16string>& domain,
                                    const Password& password) {
  ScopedFlag loading(loading_password_);
  if (domain) controls_.SetDomain(*domain);
  password_is_digest_ = password.is_digest();
  controls_.SetPassword(password.text());
}

}  // namespace kalvane
