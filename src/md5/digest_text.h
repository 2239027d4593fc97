#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

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
[[nodiscard]] DigestTextResult TextDigest(std::u16string_view text, const AnsiCodePage& code_page);

// The engine's state words A to D as digest text, each word's four bytes least significant first:
// the digest right after MD5Final.
[[nodiscard]] std::string HexDigest(const Md5Engine& engine);

}  // namespace kalvane
