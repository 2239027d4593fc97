#include "account/account_settings.h"

#include <gtest/gtest.h>

#include "iconv_code_page.h"

namespace kalvane {
namespace {

using testing::IconvCodePage;

const IconvCodePage kCp1252("CP1252");
const IconvCodePage kCp936("CP936");

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
    EXPECT_EQ(boxes.password.text(), u"");
    EXPECT_FALSE(boxes.password.is_digest());
  }
}

TEST(AccountSettingsTest, ADigestInLowerCaseLoadsAsTheSameDigest) {
  for (std::string_view line3 :
       {"5ebe2294ecd0e0f08eab7690d2a6ee69", "5EBE2294ecd0e0f08eab7690D2A6EE69"}) {
    const StoredAccount account =
        ParseAccountSettings("True\r\nexample.com\r\n" + std::string(line3) + "\r\n", kCp1252);
    EXPECT_EQ(account.digest, std::u16string(kSecretDigest)) << line3;
    const AccountBoxes boxes = BoxesFromStoredAccount(account);
    EXPECT_EQ(boxes.password.text(), kSecretDigest);
    EXPECT_TRUE(boxes.password.is_digest());
    // Saved again, it is written as we write digests.
    EXPECT_EQ(ComposeAccountSettings(account, kCp1252).value(),
              "True\r\nexample.com\r\n" + Ascii(kSecretDigest) + "\r\n");
  }
}

TEST(AccountSettingsTest, ComposeRoundTripsInTheAnsiCodePage) {
  EXPECT_EQ(ComposeAccountSettings({}, kCp1252).value(), "");
  EXPECT_EQ(ComposeAccountSettings({true, u"x.com", std::nullopt}, kCp1252).value(), "True\r\n");
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
  EXPECT_EQ(ComposeAccountSettings(chinese, kCp1252).status(),
            Status::Failure(StatusKind::kUnconvertible));
  EXPECT_EQ(ComposeAccountSettings({true, u"x.com", u"secret"}, kCp1252).status(),
            Status::Failure(StatusKind::kRejected));
}

}  // namespace
}  // namespace kalvane
