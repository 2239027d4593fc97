#pragma once

#include <string>
#include <string_view>

namespace kalvane {

// Window text on Windows is UTF-16 in wchar_t; the portable code holds it as char16_t. The two
// are the same code units, so converting is copying.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

// The code units of `text` for calls that take a pointer and a length (not null-terminated).
inline const wchar_t* WideData(std::u16string_view text) {
  return reinterpret_cast<const wchar_t*>(text.data());
}
inline wchar_t* WideData(std::u16string& text) { return reinterpret_cast<wchar_t*>(text.data()); }

// A null-terminated copy, for calls that take a C string.
inline std::wstring ToWide(std::u16string_view text) { return {text.begin(), text.end()}; }

inline std::u16string FromWide(std::wstring_view text) { return {text.begin(), text.end()}; }

}  // namespace kalvane
