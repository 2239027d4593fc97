#include "base/text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace kalvane {
namespace {

TEST(Text, LetterCaseTouchesOnlyAsciiLetters) {
  // The characters next to each end of both letter ranges, and bytes and characters beyond ASCII.
  EXPECT_EQ(AsciiLower('A'), 'a');
  EXPECT_EQ(AsciiLower('Z'), 'z');
  for (const char other : std::string_view("@[`{az09\xC1\xDA\x80\xFF")) {
    EXPECT_EQ(AsciiLower(other), other) << int(static_cast<unsigned char>(other));
  }
  EXPECT_EQ(AsciiLower(u'\uFF21'), u'\uFF21');  // FULLWIDTH A
  EXPECT_EQ(AsciiLower(u'\u0141'), u'\u0141');  // 0x141: 'A' + 0x100

  struct Case {
    std::string_view a, b;
    bool equal;
  };
  for (const auto& [a, b, equal] :
       {Case{"Content-LENGTH", "content-length", true}, Case{"", "", true},
        Case{"host", "hosts", false}, Case{"[", "{", false}, Case{"\xC1", "\xE1", false}}) {
    EXPECT_EQ(EqualsAsciiNoCase(a, b), equal) << a << " / " << b;
  }
  EXPECT_TRUE(StartsWithAsciiNoCase<char>("CONTENT-length: 4", "content-length"));
  EXPECT_FALSE(StartsWithAsciiNoCase<char>("Content-Len", "content-length"));
}

TEST(Text, TrimmingTakesOnlyTheGivenCharactersAtEitherEnd) {
  struct Case {
    std::string_view text, trimmed;
  };
  for (const auto& [text, trimmed] : {Case{" \t 12 \t", "12"}, Case{"1 2", "1 2"}, Case{" \t ", ""},
                                      Case{"", ""}, Case{"\r12\n", "\r12\n"}}) {
    EXPECT_EQ(TrimBlanks(text), trimmed) << text;
  }
  const std::u16string domain = u"\t example.com  ";
  EXPECT_EQ(Trim(domain, u' '), u"\t example.com");
  EXPECT_EQ(Trim(std::u16string(u"   "), u' '), u"");
}

TEST(Text, HexBytesAreTwoDigitsHighFirstInEitherCase) {
  struct Case {
    std::uint8_t byte;
    std::string_view upper, lower;
  };
  std::string upper;
  std::wstring lower;
  for (const auto& [byte, want_upper, want_lower] :
       {Case{0x00, "00", "00"}, Case{0x09, "09", "09"}, Case{0xA5, "A5", "a5"},
        Case{0x5A, "5A", "5a"}, Case{0xFF, "FF", "ff"}}) {
    upper.clear();
    lower.clear();
    AppendHexByte(upper, byte, HexCase::kUpper);
    AppendHexByte(lower, byte, HexCase::kLower);
    EXPECT_EQ(upper, want_upper);
    EXPECT_EQ(lower, std::wstring(want_lower.begin(), want_lower.end()));
  }
}

}  // namespace
}  // namespace kalvane
