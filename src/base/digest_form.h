#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

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

}  // namespace kalvane
