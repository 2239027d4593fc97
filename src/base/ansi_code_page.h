#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/status.h"

namespace kalvane {

// Window text is UTF-16; files and the network carry bytes in the system's ANSI code page.
// The Windows build asks the system (CP_ACP); tests use fixed code pages.
class AnsiCodePage {
 public:
  virtual ~AnsiCodePage() = default;

  // The single byte that stands for `ch`, or nothing when the code page has no one-byte code for
  // it (a character it lacks, or one it encodes with a lead and a trail byte). Never a best-fit
  // substitute and never a silent '?'.
  virtual std::optional<std::uint8_t> SingleByte(char16_t ch) const = 0;

  // `text` in the code page, multi-byte sequences allowed; kUnconvertible when a character has no
  // code.
  virtual Result<std::string> Encode(std::u16string_view text) const = 0;

  // `bytes` read as text of the code page.
  virtual std::u16string Decode(std::string_view bytes) const = 0;
};

}  // namespace kalvane
