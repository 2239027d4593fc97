// The settings parser on any "abc.txt" bytes, in a double-byte code page shaped like the program's
// home code page (936). Checked on every input:
// - parse, compose, parse gives the same account (a domain without a digest is not stored);
// - a stored digest, and a password box that counts as holding one, is always a digest text:
//   no input makes a password appear where a digest is expected;
// - what Save writes as line 3 is a digest text, whatever the boxes held.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "account/account_form.h"
#include "account/account_settings.h"

namespace {

// ASCII below 0x80, a lead byte 0x81-0xFE with a trail byte 0x40-0xFE (not 0x7F) for one
// character, and U+FFFD, which has no code, for any other byte: like the system's conversion,
// decoding never fails, and broken bytes do not come back the same.
class DoubleByteCodePage final : public kalvane::AnsiCodePage {
 public:
  std::optional<std::uint8_t> SingleByte(char16_t ch) const override {
    if (ch < 0x80) return static_cast<std::uint8_t>(ch);
    return std::nullopt;
  }
  kalvane::Result<std::string> Encode(std::u16string_view text) const override {
    std::string bytes;
    for (const char16_t ch : text) {
      if (ch < 0x80) {
        bytes.push_back(static_cast<char>(ch));
      } else if (ch >= kFirst && ch < kFirst + kLeads * kTrails) {
        const int index = ch - kFirst;
        bytes.push_back(static_cast<char>(0x81 + index / kTrails));
        const int trail = 0x40 + index % kTrails;
        bytes.push_back(static_cast<char>(trail >= 0x7F ? trail + 1 : trail));
      } else {
        return kalvane::Status::Failure(kalvane::StatusKind::kUnconvertible);
      }
    }
    return bytes;
  }
  std::u16string Decode(std::string_view bytes) const override {
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const auto byte = static_cast<std::uint8_t>(bytes[i]);
      const auto trail = i + 1 < bytes.size() ? static_cast<std::uint8_t>(bytes[i + 1]) : 0;
      if (byte < 0x80) {
        text.push_back(byte);
      } else if (byte >= 0x81 && byte <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F) {
        const int index = (byte - 0x81) * kTrails + (trail > 0x7F ? trail - 0x41 : trail - 0x40);
        text.push_back(static_cast<char16_t>(kFirst + index));
        ++i;
      } else {
        text.push_back(u'\xFFFD');
      }
    }
    return text;
  }

 private:
  static constexpr int kFirst = 0x4E00;
  static constexpr int kLeads = 0xFE - 0x81 + 1;
  static constexpr int kTrails = 0xFE - 0x40;  // 0x40-0xFE without 0x7F
};

void Check(bool property) {
  if (!property) __builtin_trap();
}

std::u16string LineThree(const std::string& bytes, const kalvane::AnsiCodePage& code_page) {
  return kalvane::ParseAccountSettings(bytes, code_page).digest.value_or(u"");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const DoubleByteCodePage code_page;
  FuzzedDataProvider input(data, size);
  const bool typed_flag = input.ConsumeBool();
  const std::string typed = input.ConsumeRandomLengthString(48);
  const std::string file = input.ConsumeRemainingBytesAsString();

  const kalvane::StoredAccount account = kalvane::ParseAccountSettings(file, code_page);
  if (account.digest) Check(kalvane::IsDigestText(*account.digest));
  const kalvane::AccountBoxes boxes = kalvane::BoxesFromStoredAccount(account);
  if (boxes.password.is_digest()) Check(kalvane::IsDigestText(boxes.password.text()));
  if (!boxes.password.is_digest()) Check(boxes.password.empty());

  // "True" and a domain without a digest is no shape Save writes: it stores "True" alone then.
  kalvane::StoredAccount expected = account;
  if (!expected.digest) expected.domain.clear();
  if (const auto composed = kalvane::ComposeAccountSettings(account, code_page)) {
    Check(kalvane::ParseAccountSettings(*composed, code_page) == expected);
  }

  // Save from the loaded boxes after the user typed into the password box (or not), with the
  // text taken as a digest where it is one (as the form would after its own write) or as typed.
  kalvane::AccountBoxes edited = boxes;
  if (!typed.empty()) {
    const std::u16string text = code_page.Decode(typed);
    const auto digest =
        typed_flag ? kalvane::Password::FromDigest(text) : std::optional<kalvane::Password>();
    edited.password = digest.value_or(kalvane::Password::Typed(text));
  }
  const kalvane::SaveOutcome saved = kalvane::SaveAccountSettings(edited, code_page);
  if (saved.file_bytes) {
    const kalvane::StoredAccount stored =
        kalvane::ParseAccountSettings(*saved.file_bytes, code_page);
    if (stored.digest) Check(kalvane::IsDigestText(*stored.digest));
    if (edited.updating_enabled && !edited.domain.empty() && !edited.password.empty()) {
      Check(!LineThree(*saved.file_bytes, code_page).empty());
    }
  }
  if (saved.new_password) Check(kalvane::IsDigestText(saved.new_password->text()));
  return 0;
}
