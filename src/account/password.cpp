#include "account/password.h"

#include "md5/digest_text.h"

namespace kalvane {

std::optional<Password> Password::FromDigest(std::u16string_view text) {
  if (!IsDigestText(text)) return std::nullopt;
  return Password(std::u16string(text), true);
}

Result<std::string> Password::Digest(const AnsiCodePage& code_page) const {
  if (is_digest_) return std::string(text_.begin(), text_.end());  // hex digits: ASCII
  return TextDigest(text_, code_page);
}

}  // namespace kalvane
