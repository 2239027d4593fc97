#include "account/account_form.h"

#include "base/scoped_flag.h"
#include "md5/digest_text.h"

namespace kalvane {
namespace {

constexpr std::u16string_view kSettingsNotSaved = u"无法写入账号设置文件 abc.txt，账号未保存。";

}  // namespace

std::optional<std::string> PasswordDigest(std::u16string_view password,
                                          const AnsiCodePage& code_page) {
  DigestTextResult digest =
      DigestStrToHexStr(password, [&code_page](char16_t c) { return code_page.SingleByte(c); });
  if (!digest) return std::nullopt;
  return std::move(digest).value();
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
  const SaveOutcome outcome =
      SaveAccountSettings(Current(), code_page_, [this](std::u16string_view password) {
        std::optional<std::u16string> digest;
        if (std::optional<std::string> text = PasswordDigest(password, code_page_)) {
          digest = std::u16string(text->begin(), text->end());  // hex digits: ASCII
        }
        return digest;
      });
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
