#include "platform/ansi_code_page-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "md5/digest_text.h"

namespace kalvane {
namespace {

using Bytes = std::optional<std::string>;

// What Encode made of `text`, nothing when it had no code for a character.
Bytes Encoded(const AnsiCodePage& code_page, std::u16string_view text) {
  Result<std::string> bytes = code_page.Encode(text);
  if (!bytes) {
    EXPECT_EQ(bytes.status(), StatusKind::kUnconvertible);
    return std::nullopt;
  }
  return std::move(bytes).value();
}
using Byte = std::optional<std::uint8_t>;

TEST(SystemAnsiCodePage, Windows1252HasLatinLettersAndTheEuroButNoBestFit) {
  const SystemAnsiCodePage cp(1252);
  EXPECT_EQ(cp.SingleByte(u'a'), Byte(0x61));
  EXPECT_EQ(cp.SingleByte(u'\u00E9'), Byte(0xE9));
  EXPECT_EQ(cp.SingleByte(u'\u20AC'), Byte(0x80));
  EXPECT_EQ(cp.SingleByte(u'\u4E2D'), std::nullopt);
  EXPECT_EQ(cp.SingleByte(u'\u0100'), std::nullopt);  // best fit would give 'A'
  EXPECT_EQ(cp.SingleByte(u'\xD800'), std::nullopt);  // half of a surrogate pair
  EXPECT_EQ(Encoded(cp, u"caf\u00E9 \u20AC"), Bytes("caf\xE9 \x80"));
  EXPECT_EQ(Encoded(cp, u"ab\u4E2D"), std::nullopt);
  EXPECT_EQ(Encoded(cp, u""), Bytes(""));
  EXPECT_EQ(cp.Decode("caf\xE9 \x80"), u"caf\u00E9 \u20AC");
}

TEST(SystemAnsiCodePage, ChineseCodePagesEncodeHanziAsTwoBytes) {
  const SystemAnsiCodePage cp936(936);
  EXPECT_EQ(cp936.SingleByte(u'a'), Byte(0x61));
  EXPECT_EQ(cp936.SingleByte(u'\u00E9'), std::nullopt);
  EXPECT_EQ(cp936.SingleByte(u'\u4E2D'), std::nullopt);
  EXPECT_EQ(Encoded(cp936, u"a\u4E2D"), Bytes("a\xD6\xD0"));
  EXPECT_EQ(cp936.Decode("a\xD6\xD0"), u"a\u4E2D");
}

TEST(SystemAnsiCodePage, CodePagesThatTakeNoFlagsStillConvert) {
  const SystemAnsiCodePage utf7(CP_UTF7);
  EXPECT_EQ(Encoded(utf7, u"a\u4E2D"), Bytes("a+Ti0-"));
  EXPECT_EQ(utf7.SingleByte(u'a'), Byte(0x61));
  EXPECT_EQ(utf7.SingleByte(u'\u4E2D'), std::nullopt);
}

TEST(SystemAnsiCodePage, Utf8HasSingleBytesOnlyForAscii) {
  const SystemAnsiCodePage cp(CP_UTF8);
  EXPECT_EQ(cp.SingleByte(u'a'), Byte(0x61));
  EXPECT_EQ(cp.SingleByte(u'\u00E9'), std::nullopt);
  EXPECT_EQ(Encoded(cp, u"\u00E9\u4E2D"), Bytes("\xC3\xA9\xE4\xB8\xAD"));
  EXPECT_EQ(Encoded(cp, u"a\xD800"), std::nullopt);
}

TEST(SystemAnsiCodePage, SystemCodePage936) {
  if (GetACP() != 936) GTEST_SKIP() << "system code page is " << GetACP();
  const SystemAnsiCodePage cp;
  EXPECT_EQ(cp.CodePage(), 936u);
  EXPECT_EQ(cp.SingleByte(u'a'), Byte(0x61));
  EXPECT_EQ(cp.SingleByte(u'\u00E9'), std::nullopt);
  EXPECT_EQ(cp.SingleByte(u'\u4E2D'), std::nullopt);
  EXPECT_EQ(Encoded(cp, u"\u4E2D"), Bytes("\xD6\xD0"));

  const DigestTextResult latin = TextDigest(u"caf\u00E9", cp);
  ASSERT_FALSE(latin.ok());
  EXPECT_EQ(latin.status().position(), 3u);
  const DigestTextResult ascii = TextDigest(u"abc", cp);
  ASSERT_TRUE(ascii.ok());
  EXPECT_EQ(ascii.value(), "900150983CD24FB0D6963F7D28E17F72");
}

TEST(SystemAnsiCodePage, SystemCodePage1252) {
  if (GetACP() != 1252) GTEST_SKIP() << "system code page is " << GetACP();
  const SystemAnsiCodePage cp;
  EXPECT_EQ(cp.CodePage(), 1252u);
  EXPECT_EQ(cp.SingleByte(u'\u00E9'), Byte(0xE9));
  EXPECT_EQ(cp.SingleByte(u'\u20AC'), Byte(0x80));
  EXPECT_EQ(cp.SingleByte(u'\u4E2D'), std::nullopt);

  const DigestTextResult latin = TextDigest(u"caf\u00E9", cp);
  ASSERT_TRUE(latin.ok());
  EXPECT_EQ(latin.value(), "961F50F6282239D09E48F812C1CA7276");
  const DigestTextResult chinese = TextDigest(u"\u4E2D", cp);
  ASSERT_FALSE(chinese.ok());
  EXPECT_EQ(chinese.status().position(), 0u);
}

}  // namespace
}  // namespace kalvane
