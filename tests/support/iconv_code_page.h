#pragma once

#include <iconv.h>

#include <cerrno>
#include <stdexcept>
#include <string>

#include "base/ansi_code_page.h"

namespace kalvane::testing {

// A fixed ANSI code page for tests, converted by glibc's iconv ("CP1252", "CP936", ...).
class IconvCodePage final : public AnsiCodePage {
 public:
  explicit IconvCodePage(std::string name) : name_(std::move(name)) {}

  std::optional<std::uint8_t> SingleByte(char16_t ch) const override {
    auto bytes = Encode(std::u16string_view(&ch, 1));
    if (!bytes || bytes->size() != 1) return std::nullopt;
    return static_cast<std::uint8_t>((*bytes)[0]);
  }

  Result<std::string> Encode(std::u16string_view text) const override {
    std::optional<std::string> bytes =
        Convert(name_, "UTF-16LE",
                std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    if (!bytes) return Status::Failure(StatusKind::kUnconvertible);
    return std::move(*bytes);
  }

  std::u16string Decode(std::string_view bytes) const override {
    auto utf16 = Convert("UTF-16LE", name_, std::string(bytes));
    if (!utf16) throw std::runtime_error("undecodable test input");
    return std::u16string(reinterpret_cast<const char16_t*>(utf16->data()), utf16->size() / 2);
  }

 private:
  static std::optional<std::string> Convert(const std::string& to, const std::string& from,
                                            std::string input) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open " + to);
    std::string out(input.size() * 4 + 4, '\0');
    char* in_ptr = input.data();
    size_t in_left = input.size();
    char* out_ptr = out.data();
    size_t out_left = out.size();
    size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    // iconv counts characters it substituted as irreversible conversions: refuse those too.
    if (rc != 0) return std::nullopt;
    out.resize(out.size() - out_left);
    return out;
  }

  std::string name_;
};

}  // namespace kalvane::testing
