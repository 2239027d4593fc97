#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ansi_code_page.h"

namespace kalvane::testing {

// Latin-1 without iconv, for digesting long texts a character at a time: each character up to
// U+00FF is its own byte. Only SingleByte is meant for use.
class Latin1CodePage final : public AnsiCodePage {
 public:
  std::optional<std::uint8_t> SingleByte(char16_t ch) const override {
    if (ch > 0xFF) return std::nullopt;
    return static_cast<std::uint8_t>(ch);
  }
  Result<std::string> Encode(std::u16string_view) const override {
    return Status::Failure(StatusKind::kUnconvertible);
  }
  std::u16string Decode(std::string_view) const override { return {}; }
};

}  // namespace kalvane::testing
