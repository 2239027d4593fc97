#include "account/account_form.h"

#include "base/scoped_flag.h"
#include "md5/digest_text.h"

namespace kalvane {
namespace {

constexpr std::u16string_view kSettingsNotSaved = u"无法写入账号设置文件 abc.txt，账号未保存。";

// The typed password's digest as box text (its hex digits are ASCII).
std::optional<std::u16string> DigestOfTyped(std::u16string_view password,
                                            const AnsiCodePage& code_page) {
  const std::optional<std::string> digest = PasswordDigest(password, code_page);
  if (!digest) return std::nullopt;
  return std::u16string(digest->begin(), digest->end());
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
  outcome.password_is_digest = boxes.password_is_digest;
  if (!boxes.updating_enabled) {
    outcome.file_bytes.emplace();
    return outcome;
  }
  if (boxes.domain.empty() || boxes.password.empty()) {
    outcome.file_bytes = ComposeAccountSettings({true, u"", std::nullopt}, code_page);
    outcome.message = SaveMessage::kDomainOrPasswordEmpty;
    return outcome;
  }

  std::optional<std::u16string> digest = boxes.password_is_digest
                                             ? std::optional(boxes.password)
                                             : DigestOfTyped(boxes.password, code_page);
  if (!digest || !IsDigestText(*digest)) {
    outcome.message = SaveMessage::kPasswordNotDigestible;
    return outcome;
  }
  outcome.file_bytes = ComposeAccountSettings(
      {.updating = true, .domain = boxes.domain, .digest = digest}, code_page);
  if (!outcome.file_bytes) {
    outcome.message = SaveMessage::kDomainNotEncodable;
    return outcome;
  }
  if (!boxes.password_is_digest) {
    outcome.new_password_text = std::move(digest);
    outcome.password_is_digest = true;
  }
  return outcome;
}

void AccountForm::Load() {
  controls_.SetUpdatingEnabled(false);
  const std::optional<std::string> content = settings_.Read();
  if (!content) return;
  const StoredAccount stored = ParseAccountSettings(*content, code_page_);
  if (!stored.updating) return;

  const AccountBoxes boxes = BoxesFromStoredAccount(stored);
  WriteBoxesQuietly(boxes.domain, boxes.password, boxes.password_is_digest);
  controls_.SetUpdatingEnabled(true);
}

void AccountForm::Save() {
  const SaveOutcome outcome = SaveAccountSettings(Current(), code_page_);
  const bool saved = !outcome.file_bytes || settings_.Write(*outcome.file_bytes);
  if (!saved) {
    controls_.ShowMessage(kSettingsNotSaved);
    return;
  }
  if (outcome.new_password_text) {
    WriteBoxesQuietly(std::nullopt, *outcome.new_password_text, true);
  }
  password_is_digest_ = outcome.password_is_digest;
  if (outcome.message != SaveMessage::kNone)
    controls_.ShowMessage(SaveMessageText(outcome.message));
}

void AccountForm::OnPasswordChanged() {
  password_is_digest_ = PasswordIsDigestAfterChange(password_is_digest_, loading_password_);
}

AccountBoxes AccountForm::Current() const {
  return {controls_.UpdatingEnabled(), controls_.Domain(), controls_.Password(),
          password_is_digest_};
}

void AccountForm::WriteBoxesQuietly(const std::optional<std::u16string>& domain,
                                    std::u16string_view password, bool password_is_digest) {
  ScopedFlag loading(loading_password_);
  if (domain) controls_.SetDomain(*domain);
  password_is_digest_ = password_is_digest;
  controls_.SetPassword(password);
}

}  // namespace kalvane
