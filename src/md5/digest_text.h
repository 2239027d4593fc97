#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/ansi_code_page.h"
#include "base/status.h"
#include "md5/md5.h"

namespace kalvane {

// The length of a password digest text: the 16 MD5 bytes as two hex digits each.
inline constexpr std::size_t kDigestTextLength = 32;

// True for the 32-character upper-case hex text of an MD5 digest: the only text that is stored as
// the password, kept in the password box as its digest, or sent as "pwd".
inline bool IsDigestText(std::u16string_view text) {
  return text.size() == kDigestTextLength && std::ranges::all_of(text, [](char16_t ch) {
           return (ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'F');
         });
}

// 32 characters 0-9 and A-F: the 16 digest bytes of RFC 1321 in order, two digits each.
using DigestTextResult = Result<std::string>;

// The digest text of `text`, each character taken as its single byte in `code_page`. Fails with
// kUnconvertible, its position() naming the first character that has no single-byte code.
[[nodiscard]] DigestTextResult DigestStrToHexStr(std::u16string_view text,
                                                 const AnsiCodePage& code_page);

// The digest text of the file's contents, read in chunks. Fails with kNotFound when there is no
// such file, else kFailed when it cannot be opened or read, with the C library's errno.
[[nodiscard]] DigestTextResult DigestFileToHexStr(const std::filesystem::path& file);

// One byte per character of `text` (no terminator), or kUnconvertible at the first character
// without one.
[[nodiscard]] Result<std::vector<std::uint8_t>> StrToByteArray(std::u16string_view text,
                                                               const AnsiCodePage& code_page);

// The engine's state words A to D as digest text; the digest right after MD5Final.
[[nodiscard]] std::string GetValues(const Md5Engine& engine);

// The word's four bytes, least significant first, two upper-case hexadecimal digits each.
[[nodiscard]] std::string LongToHexStr(std::uint32_t word);

// A state word as signed decimal text (a word with its top bit set reads as negative).
[[nodiscard]] std::string RegisterA(const Md5Engine& engine);
[[nodiscard]] std::string RegisterB(const Md5Engine& engine);
[[nodiscard]] std::string RegisterC(const Md5Engine& engine);
[[nodiscard]] std::string RegisterD(const Md5Engine& engine);

}  // namespace kalvane
