#include "account/account_form.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <functional>
#include <vector>

#include "fake_account_controls.h"
#include "iconv_code_page.h"
#include "memory_file_system.h"

namespace kalvane {
namespace {

using testing::IconvCodePage;
using testing::MemoryDisk;
using testing::MemoryFileSystem;

const IconvCodePage kCp1252("CP1252");
const IconvCodePage kCp936("CP936");
const Password kSecretDigestPassword = *Password::FromDigest(u"5EBE2294ECD0E0F08EAB7690D2A6EE69");
const FilePath kSettings = L"/app/abc.txt";
// MD5("secret")
constexpr std::u16string_view kSecretDigest = u"5EBE2294ECD0E0F08EAB7690D2A6EE69";

// An MD5 independent of ours: OpenSSL over the CP1252 bytes, upper-case hex.
std::u16string OpenSslDigest(std::u16string_view text) {
  std::string bytes;
  for (char16_t ch : text) bytes.push_back(static_cast<char>(kCp1252.SingleByte(ch).value()));
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int md_len = 0;
  EVP_Digest(bytes.data(), bytes.size(), md, &md_len, EVP_md5(), nullptr);
  std::u16string hex;
  for (unsigned int i = 0; i < md_len; ++i) {
    hex.push_back(u"0123456789ABCDEF"[md[i] >> 4]);
    hex.push_back(u"0123456789ABCDEF"[md[i] & 15]);
  }
  return hex;
}

std::string Ascii(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// The user types into the password box.
class FakeControls final : public testing::FakeAccountControls {
 public:
  void TypePassword(std::u16string_view text) { SetPassword(text); }
};

struct Rig {
  explicit Rig(std::string stored = "") {
    if (!stored.empty()) disk.files[kSettings].content = std::move(stored);
    controls.form_to_notify = &form;
  }
  MemoryDisk disk;
  MemoryFileSystem files{disk};
  SettingsFile settings{files, kSettings};
  FakeControls controls;
  AccountForm form{controls, settings, kCp1252};
};

TEST(AccountForm, LoadsTheStoredDigestAndKeepsItUntilTheUserTypes) {
  Rig rig("True\r\nexample.com\r\n" + std::string(kSecretDigest.begin(), kSecretDigest.end()) +
          "\r\n");
  rig.form.Load();
  EXPECT_TRUE(rig.controls.updating);
  EXPECT_EQ(rig.controls.domain, u"example.com");
  EXPECT_EQ(rig.controls.password, kSecretDigest);
  EXPECT_TRUE(rig.form.PasswordIsDigest()) << "the form's own write keeps the flag";

  rig.controls.TypePassword(u"new password");
  EXPECT_FALSE(rig.form.PasswordIsDigest());
  EXPECT_EQ(rig.form.Current(),
            (AccountBoxes{true, u"example.com", Password::Typed(u"new password")}));

  // No file, or updating off in it: the check box is cleared and nothing else is filled.
  for (std::string stored : {std::string(), std::string("False\r\nx\r\n")}) {
    Rig empty(stored);
    empty.controls.updating = true;
    empty.form.Load();
    EXPECT_FALSE(empty.controls.updating) << stored;
    EXPECT_EQ(empty.controls.password, u"") << stored;
  }
}

TEST(AccountForm, SaveStoresTheDigestAndPutsItInThePasswordBox) {
  Rig rig;
  rig.controls.updating = true;
  rig.controls.domain = u"example.com";
  rig.controls.TypePassword(u"secret");
  rig.form.Save();
  EXPECT_EQ(
      rig.disk.Content(kSettings),
      "True\r\nexample.com\r\n" + std::string(kSecretDigest.begin(), kSecretDigest.end()) + "\r\n");
  EXPECT_EQ(rig.controls.password, kSecretDigest);
  EXPECT_TRUE(rig.form.PasswordIsDigest());
  EXPECT_TRUE(rig.controls.messages.empty());

  // Saving again does not digest the digest.
  rig.form.Save();
  EXPECT_EQ(rig.controls.password, kSecretDigest);

  // Empty fields: "True" alone and the one message of the Save command.
  rig.controls.domain.clear();
  rig.form.Save();
  EXPECT_EQ(rig.disk.Content(kSettings), "True\r\n");
  ASSERT_EQ(rig.controls.messages.size(), 1u);
  EXPECT_EQ(rig.controls.messages[0], u"域名和密码都不能为空！");
}

TEST(AccountForm, AFileThatCannotBeWrittenKeepsTheBoxesAndSaysSo) {
  Rig rig("True\r\n");
  rig.disk.files[kSettings].locked = true;
  rig.controls.updating = true;
  rig.controls.domain = u"example.com";
  rig.controls.TypePassword(u"secret");
  rig.form.Save();
  EXPECT_EQ(rig.disk.Content(kSettings), "True\r\n");
  EXPECT_EQ(rig.controls.password, u"secret") << "the typed password stays for another try";
  EXPECT_FALSE(rig.form.PasswordIsDigest());
  ASSERT_EQ(rig.controls.messages.size(), 1u);
  EXPECT_NE(rig.controls.messages[0].find(u"abc.txt"), std::u16string::npos);
}

TEST(SaveAccountSettings, WithUpdatingOffOrAnEmptyBox) {
  const SaveOutcome off =
      SaveAccountSettings({false, u"x.com", Password::Typed(u"secret")}, kCp1252);
  EXPECT_EQ(off.file_bytes, "");
  EXPECT_EQ(off.message, SaveMessage::kNone);
  EXPECT_EQ(off.new_password, std::nullopt);

  for (const AccountBoxes& boxes : {AccountBoxes{true, u"", Password::Typed(u"secret")},
                                    AccountBoxes{true, u"x.com", Password::Typed(u"")},
                                    AccountBoxes{true, u"", kSecretDigestPassword}}) {
    const SaveOutcome outcome = SaveAccountSettings(boxes, kCp1252);
    EXPECT_EQ(outcome.file_bytes, "True\r\n");
    EXPECT_EQ(outcome.message, SaveMessage::kDomainOrPasswordEmpty);
    EXPECT_EQ(SaveMessageText(outcome.message), u"域名和密码都不能为空！");
    EXPECT_EQ(outcome.new_password, std::nullopt) << "the box keeps what it holds";
  }
}

TEST(SaveAccountSettings, DigestsATypedPasswordOnce) {
  // Blanks are not trimmed: a domain of spaces passes the emptiness test and is stored as typed.
  AccountBoxes boxes{true, u"  ", Password::Typed(u"secret")};
  SaveOutcome first = SaveAccountSettings(boxes, kCp1252);
  EXPECT_EQ(first.file_bytes, "True\r\n  \r\n" + Ascii(kSecretDigest) + "\r\n");
  EXPECT_EQ(first.message, SaveMessage::kNone);
  EXPECT_EQ(first.new_password, kSecretDigestPassword);
  EXPECT_TRUE(first.new_password->is_digest());

  // The window writes the digest into the password box itself, so the box holds the digest.
  boxes.password = *first.new_password;
  const SaveOutcome second = SaveAccountSettings(boxes, kCp1252);
  EXPECT_EQ(second.file_bytes, first.file_bytes);
  EXPECT_EQ(second.new_password, std::nullopt);
  // Loading the saved file and saving again leaves it the same too.
  const AccountBoxes loaded =
      BoxesFromStoredAccount(ParseAccountSettings(*second.file_bytes, kCp1252));
  EXPECT_EQ(loaded, boxes);
  EXPECT_EQ(SaveAccountSettings(loaded, kCp1252).file_bytes, first.file_bytes);

  // One typed character: the whole box text, old digest included, is digested next time.
  EXPECT_FALSE(PasswordIsDigestAfterChange(true, false));
  boxes.password = Password::Typed(boxes.password.text() + u"x");
  const SaveOutcome third = SaveAccountSettings(boxes, kCp1252);
  const std::u16string redigested = OpenSslDigest(std::u16string(kSecretDigest) + u"x");
  EXPECT_EQ(third.file_bytes, "True\r\n  \r\n" + Ascii(redigested) + "\r\n");
  EXPECT_EQ(third.new_password, Password::FromDigest(redigested));
}

TEST(SaveAccountSettings, ThatCannotStoreTheAccountLeavesEverything) {
  // A password character without a single-byte code: no digest, nothing written.
  const SaveOutcome password =
      SaveAccountSettings({true, u"x.com", Password::Typed(u"密码")}, kCp1252);
  EXPECT_EQ(password.file_bytes, std::nullopt);
  EXPECT_EQ(password.message, SaveMessage::kPasswordNotDigestible);
  EXPECT_EQ(password.new_password, std::nullopt);
  // There is no length limit any more: the message names only the characters.
  EXPECT_EQ(SaveMessageText(password.message), u"密码含有无法转换的字符，未保存。");

  // A domain the code page cannot encode: the typed password stays typed.
  const SaveOutcome domain =
      SaveAccountSettings({true, u"例子.com", Password::Typed(u"secret")}, kCp1252);
  EXPECT_EQ(domain.file_bytes, std::nullopt);
  EXPECT_EQ(domain.message, SaveMessage::kDomainNotEncodable);
  EXPECT_EQ(domain.new_password, std::nullopt) << "the typed password stays typed";
  EXPECT_FALSE(SaveMessageText(domain.message).empty());
  // The same domain is fine in the Chinese code page.
  EXPECT_EQ(SaveAccountSettings({true, u"例子.com", Password::Typed(u"secret")}, kCp936).file_bytes,
            "True\r\n\xc0\xfd\xd7\xd3.com\r\n" + Ascii(kSecretDigest) + "\r\n");
}

}  // namespace
}  // namespace kalvane
