#include "md5/digest_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "iconv_code_page.h"
#include "latin1_code_page.h"
#include "md5_reference.h"

namespace kalvane {
namespace {

using testing::IconvCodePage;
using testing::OpenSslDigestText;

TEST(TextDigest, GivesTheRfc1321DigestsInUpperCase) {
  const IconvCodePage cp1252("CP1252");
  for (const auto& [message, expected] : testing::kRfc1321Suite) {
    const std::u16string text(message.begin(), message.end());
    const DigestTextResult digest = TextDigest(text, cp1252);
    ASSERT_TRUE(digest.ok());
    EXPECT_EQ(digest.value(), expected);
  }
}

TEST(TextDigest, TakesEachCharacterAsItsByteInTheAnsiCodePage) {
  const IconvCodePage cp1252("CP1252");
  const IconvCodePage cp936("CP936");

  const DigestTextResult euro = TextDigest(u"\u20AC", cp1252);
  ASSERT_TRUE(euro.ok());
  EXPECT_EQ(euro.value(), OpenSslDigestText(std::string_view("\x80")));

  const DigestTextResult latin = TextDigest(u"caf\u00E9", cp1252);
  ASSERT_TRUE(latin.ok());
  EXPECT_EQ(latin.value(), OpenSslDigestText(std::string_view("caf\xE9")));

  // é takes two bytes under the Chinese code page; 中 has no code in 1252 and two bytes in 936.
  const DigestTextResult latin_in_936 = TextDigest(u"caf\u00E9", cp936);
  ASSERT_FALSE(latin_in_936.ok());
  EXPECT_EQ(latin_in_936.status(), Status::Failure(StatusKind::kUnconvertible, 0, 3));
  EXPECT_THROW((void)latin_in_936.value(), std::bad_variant_access);

  for (const IconvCodePage* code_page : {&cp1252, &cp936}) {
    const DigestTextResult chinese = TextDigest(u"pw\u4E2Dx\u4E2D", *code_page);
    ASSERT_FALSE(chinese.ok());
    EXPECT_EQ(chinese.status(), Status::Failure(StatusKind::kUnconvertible, 0, 2));
    const DigestTextResult without = TextDigest(u"pwx", *code_page);
    ASSERT_TRUE(without.ok());
    EXPECT_EQ(without.value(), OpenSslDigestText(std::string_view("pwx")));
  }
}

TEST(TextDigest, DigestsTextsOfAnyLength) {
  const testing::Latin1CodePage latin1;
  for (const std::size_t length : {32767, 32768, 200001}) {
    std::u16string text(length, u'x');
    text.back() = u'\u00FF';
    std::string bytes(length, 'x');
    bytes.back() = '\xFF';
    const DigestTextResult digest = TextDigest(text, latin1);
    ASSERT_TRUE(digest.ok());
    EXPECT_EQ(digest.value(), OpenSslDigestText(bytes)) << length;
  }
}

// The initial words (two of them with the top bit set) show each word's bytes in order.
TEST(HexDigest, ReadsEachStateWordLeastSignificantByteFirst) {
  Md5Engine engine;
  engine.MD5Update(std::vector<std::uint8_t>{'a', 'b'});
  engine.MD5Init();
  EXPECT_EQ(HexDigest(engine), "0123456789ABCDEFFEDCBA9876543210");
}

}  // namespace
}  // namespace kalvane
