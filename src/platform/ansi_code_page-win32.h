#pragma once

#include "base/ansi_code_page.h"

namespace kalvane {

// An ANSI code page converted by Windows itself: the system's (GetACP) or a given one.
class SystemAnsiCodePage final : public AnsiCodePage {
 public:
  SystemAnsiCodePage();
  explicit SystemAnsiCodePage(unsigned int code_page) : code_page_(code_page) {}

  [[nodiscard]] unsigned int CodePage() const noexcept { return code_page_; }

  std::optional<std::uint8_t> SingleByte(char16_t ch) const override;
  Result<std::string> Encode(std::u16string_view text) const override;
  std::u16string Decode(std::string_view bytes) const override;

 private:
  unsigned int code_page_;
};

}  // namespace kalvane
