#pragma once

// Small text helpers for byte strings and wide strings alike: ASCII letter case, blanks and
// trimming, hex digits, decimal numbers, cuts that keep surrogate pairs whole, and the line ends
// of the protocol and the files we write. Letters outside ASCII are left as they are: host names,
// header names and the service's markers are ASCII, and a byte of a multi-byte character must
// never compare equal to an ASCII letter.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace kalvane {

// The line end of HTTP and of the text files we write, and the blank line that ends an HTTP
// header block (where the body starts).
inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kHeaderEnd = "\r\n\r\n";

// 'A'-'Z' to 'a'-'z'; every other character unchanged.
template <typename Char>
constexpr Char AsciiLower(Char ch) {
  return ch >= Char('A') && ch <= Char('Z') ? static_cast<Char>(ch - Char('A') + Char('a')) : ch;
}

// `text` with its ASCII letters in lower case.
template <typename Char>
std::basic_string<Char> AsciiLowerText(std::basic_string_view<Char> text) {
  std::basic_string<Char> lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower<Char>);
  return lower;
}

// Equal when the texts differ at most in the letter case of ASCII letters.
template <typename Char>
constexpr bool EqualsAsciiNoCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

template <typename Char>
constexpr bool StartsWithAsciiNoCase(std::basic_string_view<Char> text,
                                     std::basic_string_view<Char> prefix) {
  return text.size() >= prefix.size() && EqualsAsciiNoCase(text.substr(0, prefix.size()), prefix);
}

// A space or a tab: what parts header values and hosts-file fields.
template <typename Char>
constexpr bool IsBlank(Char ch) {
  return ch == Char(' ') || ch == Char('\t');
}

// `text` without the characters at either end for which `trimmed` holds.
template <typename Char, typename Predicate>
constexpr std::basic_string_view<Char> TrimIf(std::basic_string_view<Char> text,
                                              Predicate trimmed) {
  while (!text.empty() && trimmed(text.front())) text.remove_prefix(1);
  while (!text.empty() && trimmed(text.back())) text.remove_suffix(1);
  return text;
}

// `text` without blanks (spaces and tabs) at either end.
template <typename Char>
constexpr std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> text) {
  return TrimIf(text, IsBlank<Char>);
}

// `text` without the character `ch` at either end; the text's character type follows `ch`, so a
// std::u16string may be passed for a u' '.
template <typename Char>
constexpr std::basic_string_view<Char> Trim(std::type_identity_t<std::basic_string_view<Char>> text,
                                            Char ch) {
  return TrimIf(text, [ch](Char c) { return c == ch; });
}

enum class HexCase { kUpper, kLower };

// The hex digit of the low four bits of `value`.
template <typename Char>
constexpr Char HexDigit(unsigned value, HexCase letters) {
  constexpr std::string_view kUpper = "0123456789ABCDEF";
  constexpr std::string_view kLower = "0123456789abcdef";
  return static_cast<Char>((letters == HexCase::kUpper ? kUpper : kLower)[value & 0xF]);
}

// Appends the two hex digits of `byte`, the high four bits first.
template <typename Char>
void AppendHexByte(std::basic_string<Char>& out, std::uint8_t byte, HexCase letters) {
  out.push_back(HexDigit<Char>(byte >> 4, letters));
  out.push_back(HexDigit<Char>(byte, letters));
}

// ASCII bytes (digits, host names, addresses) as UTF-16 text, one character each.
inline std::u16string AsciiToUtf16(std::string_view text) { return {text.begin(), text.end()}; }

// `value` in decimal digits, as shown to the user.
inline std::u16string DecimalText(std::uint64_t value) {
  return AsciiToUtf16(std::to_string(value));
}

// The first `length` code units of `text`, one fewer when the last of them would be the first
// half of a surrogate pair: a cut never leaves half a character behind.
inline std::u16string_view HeadKeepingPairs(std::u16string_view text, std::size_t length) {
  if (length >= text.size()) return text;
  if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) --length;
  return text.substr(0, length);
}

// The value of `text` as an unsigned decimal number: one or more ASCII digits and nothing else.
// Nothing for any other text, and for a value too large for 64 bits.
inline std::optional<std::uint64_t> ParseDecimal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(ch - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace kalvane
