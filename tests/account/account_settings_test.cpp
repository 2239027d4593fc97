#include "account/account_settings.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "iconv_code_page.h"

namespace kalvane {
namespace {

using testing::IconvCodePage;

const IconvCodePage kCp1252("CP1252");
const IconvCodePage kCp936("CP936");

// An MD5 independent of ours: OpenSSL over the CP1252 bytes, upper-case hex.
std::optional<std::u16string> OpenSslDigest(std::u16string_view text) {
  std::string bytes;
  for (char16_t ch : text) {
    auto byte = kCp1252.SingleByte(ch);
    if (!byte) return std::nullopt;
    bytes.push_back(static_cast<char>(*byte));
  }
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

// MD5("secret")
constexpr std::u16string_view kSecretDigest = u"5EBE2294ECD0E0F08EAB7690D2A6EE69";
const StoredAccount kTrueOnly{true, u"", std::nullopt};

TEST(AccountSettingsTest, ParsesTheShapesSaveWrites) {
  EXPECT_EQ(ParseAccountSettings("", kCp1252), StoredAccount{});
  EXPECT_EQ(ParseAccountSettings("True\r\n", kCp1252), kTrueOnly);
  EXPECT_EQ(ParseAccountSettings("True", kCp1252), kTrueOnly);
  const std::string full = "True\r\n example.com \r\n" + Ascii(kSecretDigest) + "\r\n";
  EXPECT_EQ(ParseAccountSettings(full, kCp1252),
            (StoredAccount{true, u" example.com ", std::u16string(kSecretDigest)}));
  // Lines after the third are never read, whatever they hold.
  EXPECT_EQ(ParseAccountSettings(full + "junk\r\n\xff\r\n", kCp1252),
            ParseAccountSettings(full, kCp1252));
  // Lone CR and lone LF end lines as CR LF does.
  EXPECT_EQ(ParseAccountSettings("True\rexample.com\n" + Ascii(kSecretDigest), kCp1252),
            (StoredAccount{true, u"example.com", std::u16string(kSecretDigest)}));
  // "True" and one more line: the domain without a password.
  EXPECT_EQ(ParseAccountSettings("True\r\nexample.com\r\n", kCp1252),
            (StoredAccount{true, u"example.com", std::nullopt}));
  // An empty line 2 between two line ends of any kind.
  for (std::string_view ends : {"\r\n\r\n", "\n\n", "\r\r", "\n\r\n", "\r\n\r"}) {
    EXPECT_EQ(ParseAccountSettings("True" + std::string(ends) + Ascii(kSecretDigest), kCp1252),
              (StoredAccount{true, u"", std::u16string(kSecretDigest)}));
  }
}

TEST(AccountSettingsTest, FirstLineMustBeExactlyTrue) {
  for (std::string_view first : {"true", "TRUE", "True ", " True", "False", "1", "True\t"}) {
    const std::string file = std::string(first) + "\r\nexample.com\r\n" + Ascii(kSecretDigest);
    EXPECT_EQ(ParseAccountSettings(file, kCp1252), StoredAccount{}) << first;
  }
}

TEST(AccountSettingsTest, MalformedDigestLoadsAsNoPassword) {
  const std::string digest = Ascii(kSecretDigest);
  for (const std::string& line3 : std::initializer_list<std::string>{
           "", digest.substr(1), digest + "0", digest + " ", "5ebe2294ecd0e0f08eab7690d2a6ee6g",
           "5EBE2294ECD0E0F08EAB7690D2A6EE6G", "secret", std::string(32, 'z')}) {
    const StoredAccount account =
        ParseAccountSettings("True\r\nexample.com\r\n" + line3 + "\r\n", kCp1252);
    EXPECT_EQ(account, (StoredAccount{true, u"example.com", std::nullopt})) << line3;
    const AccountBoxes boxes = BoxesFromStoredAccount(account);
    EXPECT_TRUE(boxes.updating_enabled);
    EXPECT_EQ(boxes.password, u"");
    EXPECT_FALSE(boxes.password_is_digest);
  }
}

TEST(AccountSettingsTest, ADigestInLowerCaseLoadsAsTheSameDigest) {
  for (std::string_view line3 :
       {"5ebe2294ecd0e0f08eab7690d2a6ee69", "5EBE2294ecd0e0f08eab7690D2A6EE69"}) {
    const StoredAccount account =
        ParseAccountSettings("True\r\nexample.com\r\n" + std::string(line3) + "\r\n", kCp1252);
    EXPECT_EQ(account.digest, std::u16string(kSecretDigest)) << line3;
    const AccountBoxes boxes = BoxesFromStoredAccount(account);
    EXPECT_EQ(boxes.password, kSecretDigest);
    EXPECT_TRUE(boxes.password_is_digest);
    // Saved again, it is written as we write digests.
    EXPECT_EQ(ComposeAccountSettings(account, kCp1252),
              "True\r\nexample.com\r\n" + Ascii(kSecretDigest) + "\r\n");
  }
}

TEST(AccountSettingsTest, ComposeRoundTripsInTheAnsiCodePage) {
  EXPECT_EQ(ComposeAccountSettings({}, kCp1252), "");
  EXPECT_EQ(ComposeAccountSettings({true, u"x.com", std::nullopt}, kCp1252), "True\r\n");
  const StoredAccount chinese{true, u" 例子.中国", std::u16string(kSecretDigest)};
  const auto bytes = ComposeAccountSettings(chinese, kCp936);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes,
            "True\r\n \xc0\xfd\xd7\xd3.\xd6\xd0\xb9\xfa\r\n" + Ascii(kSecretDigest) + "\r\n");
  EXPECT_EQ(ParseAccountSettings(*bytes, kCp936), chinese);
  for (const StoredAccount& account :
       {StoredAccount{}, kTrueOnly,
        StoredAccount{true, u"caf\u00e9.example", std::u16string(kSecretDigest)}}) {
    EXPECT_EQ(ParseAccountSettings(ComposeAccountSettings(account, kCp1252).value(), kCp1252),
              account);
  }
  // A domain the code page lacks, or a line 3 that is no digest, is never written.
  EXPECT_EQ(ComposeAccountSettings(chinese, kCp1252), std::nullopt);
  EXPECT_EQ(ComposeAccountSettings({true, u"x.com", u"secret"}, kCp1252), std::nullopt);
}

TEST(AccountSettingsTest, SaveWithUpdatingOffOrAnEmptyBox) {
  const auto must_not_digest = [](std::u16string_view) -> std::optional<std::u16string> {
    ADD_FAILURE() << "digested";
    return std::nullopt;
  };
  const SaveOutcome off =
      SaveAccountSettings({false, u"x.com", u"secret", false}, kCp1252, must_not_digest);
  EXPECT_EQ(off.file_bytes, "");
  EXPECT_EQ(off.message, SaveMessage::kNone);
  EXPECT_EQ(off.new_password_text, std::nullopt);

  for (const AccountBoxes& boxes :
       {AccountBoxes{true, u"", u"secret", false}, AccountBoxes{true, u"x.com", u"", false},
        AccountBoxes{true, u"", std::u16string(kSecretDigest), true}}) {
    const SaveOutcome outcome = SaveAccountSettings(boxes, kCp1252, must_not_digest);
    EXPECT_EQ(outcome.file_bytes, "True\r\n");
    EXPECT_EQ(outcome.message, SaveMessage::kDomainOrPasswordEmpty);
    EXPECT_EQ(SaveMessageText(outcome.message), u"域名和密码都不能为空！");
    EXPECT_EQ(outcome.new_password_text, std::nullopt);
    EXPECT_EQ(outcome.password_is_digest, boxes.password_is_digest);
  }
}

TEST(AccountSettingsTest, SaveDigestsATypedPasswordOnce) {
  // Blanks are not trimmed: a domain of spaces passes the emptiness test and is stored as typed.
  AccountBoxes boxes{true, u"  ", u"secret", false};
  SaveOutcome first = SaveAccountSettings(boxes, kCp1252, OpenSslDigest);
  EXPECT_EQ(first.file_bytes, "True\r\n  \r\n" + Ascii(kSecretDigest) + "\r\n");
  EXPECT_EQ(first.message, SaveMessage::kNone);
  EXPECT_EQ(first.new_password_text, kSecretDigest);
  EXPECT_TRUE(first.password_is_digest);

  // The window writes the digest into the password box itself, so the change keeps the flag.
  boxes.password = *first.new_password_text;
  boxes.password_is_digest = PasswordIsDigestAfterChange(first.password_is_digest, true);
  const SaveOutcome second = SaveAccountSettings(boxes, kCp1252, OpenSslDigest);
  EXPECT_EQ(second.file_bytes, first.file_bytes);
  EXPECT_EQ(second.new_password_text, std::nullopt);
  EXPECT_TRUE(second.password_is_digest);
  // Loading the saved file and saving again leaves it the same too.
  const AccountBoxes loaded =
      BoxesFromStoredAccount(ParseAccountSettings(*second.file_bytes, kCp1252));
  EXPECT_EQ(loaded, boxes);
  EXPECT_EQ(SaveAccountSettings(loaded, kCp1252, OpenSslDigest).file_bytes, first.file_bytes);

  // One typed character: the whole box text, old digest included, is digested next time.
  boxes.password += u"x";
  boxes.password_is_digest = PasswordIsDigestAfterChange(boxes.password_is_digest, false);
  EXPECT_FALSE(boxes.password_is_digest);
  const SaveOutcome third = SaveAccountSettings(boxes, kCp1252, OpenSslDigest);
  const std::u16string redigested = OpenSslDigest(std::u16string(kSecretDigest) + u"x").value();
  EXPECT_EQ(third.file_bytes, "True\r\n  \r\n" + Ascii(redigested) + "\r\n");
  EXPECT_EQ(third.new_password_text, redigested);
  EXPECT_TRUE(third.password_is_digest);
}

TEST(AccountSettingsTest, SaveThatCannotStoreTheAccountLeavesEverything) {
  // A password character without a single-byte code: no digest, nothing written.
  const SaveOutcome password =
      SaveAccountSettings({true, u"x.com", u"密码", false}, kCp1252, OpenSslDigest);
  EXPECT_EQ(password.file_bytes, std::nullopt);
  EXPECT_EQ(password.message, SaveMessage::kPasswordNotDigestible);
  EXPECT_EQ(password.new_password_text, std::nullopt);
  EXPECT_FALSE(password.password_is_digest);
  // There is no length limit any more: the message names only the characters.
  EXPECT_EQ(SaveMessageText(password.message), u"密码含有无法转换的字符，未保存。");
  // A digester that answers with something other than a digest text is not trusted either.
  const auto bad_digest = [](std::u16string_view) { return std::optional<std::u16string>(u"x"); };
  EXPECT_EQ(SaveAccountSettings({true, u"x.com", u"secret", false}, kCp1252, bad_digest).message,
            SaveMessage::kPasswordNotDigestible);

  // A domain the code page cannot encode: the typed password stays typed.
  const SaveOutcome domain =
      SaveAccountSettings({true, u"例子.com", u"secret", false}, kCp1252, OpenSslDigest);
  EXPECT_EQ(domain.file_bytes, std::nullopt);
  EXPECT_EQ(domain.message, SaveMessage::kDomainNotEncodable);
  EXPECT_EQ(domain.new_password_text, std::nullopt);
  EXPECT_FALSE(domain.password_is_digest);
  EXPECT_FALSE(SaveMessageText(domain.message).empty());
  // The same domain is fine in the Chinese code page.
  EXPECT_EQ(
      SaveAccountSettings({true, u"例子.com", u"secret", false}, kCp936, OpenSslDigest).file_bytes,
      "True\r\n\xc0\xfd\xd7\xd3.com\r\n" + Ascii(kSecretDigest) + "\r\n");
}

}  // namespace
}  // namespace kalvane
