#include "base/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kalvane {
namespace {

TEST(Text, LetterCaseTouchesOnlyAsciiLetters) {
  EXPECT_EQ(AsciiLower('A'), 'a');
  EXPECT_EQ(AsciiLower('Z'), 'z');
  // The neighbours of both letter ranges, and bytes and characters beyond ASCII.
  for (const char other : std::string_view("@[`{az09\xC1\xDA\x80\xFF")) {
    EXPECT_EQ(AsciiLower(other), other) << int(static_cast<unsigned char>(other));
  }
  EXPECT_EQ(AsciiLower(u'\u0141'), u'\u0141');  // 'A' + 0x100
  EXPECT_TRUE(EqualsAsciiNoCase<char>("Content-LENGTH", "content-length"));
  EXPECT_FALSE(EqualsAsciiNoCase<char>("\xC1", "\xE1"));  // Latin-1 letters are not ASCII
  EXPECT_FALSE(EqualsAsciiNoCase<char>("host", "hosts"));
  EXPECT_TRUE(StartsWithAsciiNoCase<char>("CONTENT-length: 4", "content-length"));
  EXPECT_FALSE(StartsWithAsciiNoCase<char>("Content-Len", "content-length"));
  EXPECT_EQ(AsciiLowerText<char>("Connection: CLOSE \xC1"), "connection: close \xC1");
  EXPECT_EQ(AsciiLowerText<char16_t>(u"Dns.Kalvane.Example\u0141"), u"dns.kalvane.example\u0141");
}

TEST(Text, ACutNeverLeavesHalfASurrogatePair) {
  const std::u16string text = u"ab\U0001F600c";  // the pair is code units 2 and 3
  const std::pair<std::size_t, std::u16string_view> cases[] = {
      {0, u""}, {2, u"ab"}, {3, u"ab"}, {4, u"ab\U0001F600"}, {5, text}, {99, text},
  };
  for (const auto& [length, head] : cases) {
    EXPECT_EQ(HeadKeepingPairs(text, length), head) << length;
  }
  EXPECT_EQ(HeadKeepingPairs(u"\xDC00x", 1), u"\xDC00")
      << "a lone second half is a unit of its own";
  EXPECT_EQ(DecimalText(0), u"0");
  EXPECT_EQ(DecimalText(UINT64_MAX), u"18446744073709551615");
}

TEST(Text, TrimmingTakesOnlyTheGivenCharactersAtEitherEnd) {
  EXPECT_EQ(TrimBlanks<char>(" \t 1 2 \t"), "1 2");
  EXPECT_EQ(TrimBlanks<char>(" \t "), "");
  EXPECT_EQ(TrimBlanks<char>("\r12\n"), "\r12\n");
  EXPECT_EQ(Trim(std::u16string(u"\t example.com  "), u' '), u"\t example.com");
}

TEST(Text, HexBytesAreTwoDigitsHighFirstInEitherCase) {
  std::string upper;
  std::wstring lower;
  for (const std::uint8_t byte : {0x00, 0x09, 0x5A, 0xA5, 0xFF}) {
    AppendHexByte(upper, byte, HexCase::kUpper);
    AppendHexByte(lower, byte, HexCase::kLower);
  }
  EXPECT_EQ(upper, "00095AA5FF");
  EXPECT_EQ(lower, L"00095aa5ff");
}

TEST(Text, DecimalNumbersAreDigitsOnlyAndFitSixtyFourBits) {
  const std::pair<std::string_view, std::optional<std::uint64_t>> cases[] = {
      {"0", 0},
      {"4242", 4242},
      {"007", 7},
      {"18446744073709551615", UINT64_MAX},
      {"18446744073709551616", std::nullopt},  // one more than fits
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"+1", std::nullopt},
      {"-1", std::nullopt},
      {"12 ", std::nullopt},
      {"1a", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParseDecimal(text), expected) << text;
  }
}

}  // namespace
}  // namespace kalvane
