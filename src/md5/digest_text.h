#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/ansi_code_page.h"
#include "md5/md5.h"

namespace kalvane {

struct DigestError {
  enum class Kind {
    kUnconvertibleCharacter,  // `index` names the character
    kUnreadableFile,          // the file could not be opened or read
  };

  Kind kind;
  std::size_t index = 0;         // zero-based position of the first unconvertible character
  std::filesystem::path file{};  // the file that could not be opened or read
  std::string message{};         // what went wrong, in words
};

// Either a value or the DigestError that kept it from being made. Check it before use: value()
// on an error (or error() on a value) is a programming error and throws std::bad_variant_access.
template <typename T>
class [[nodiscard]] DigestResult {
 public:
  // Implicit, so that a function returns either its value or its error.
  DigestResult(T value) : outcome_(std::move(value)) {}
  DigestResult(DigestError error) : outcome_(std::move(error)) {}

  [[nodiscard]] bool ok() const noexcept { return std::holds_alternative<T>(outcome_); }
  explicit operator bool() const noexcept { return ok(); }

  [[nodiscard]] const T& value() const& { return std::get<T>(outcome_); }
  [[nodiscard]] T&& value() && { return std::get<T>(std::move(outcome_)); }
  [[nodiscard]] const DigestError& error() const { return std::get<DigestError>(outcome_); }

 private:
  std::variant<T, DigestError> outcome_;
};

// 32 characters 0-9 and A-F: the 16 digest bytes of RFC 1321 in order, two digits each.
using DigestTextResult = DigestResult<std::string>;

// The digest text of `text`, each character taken as its single byte in `code_page`. Fails,
// naming the first such character, when one has no single-byte code.
[[nodiscard]] DigestTextResult DigestStrToHexStr(std::u16string_view text,
                                                 const AnsiCodePage& code_page);

// The digest text of a password, the only form in which it is stored or sent; nothing when a
// character has no single-byte code in `code_page`.
[[nodiscard]] std::optional<std::string> PasswordDigest(std::u16string_view password,
                                                        const AnsiCodePage& code_page);

// The digest text of the file's contents, read in chunks; fails when the file cannot be opened
// or read.
[[nodiscard]] DigestTextResult DigestFileToHexStr(const std::filesystem::path& file);

// One byte per character of `text` (no terminator), or the first character without one.
[[nodiscard]] DigestResult<std::vector<std::uint8_t>> StrToByteArray(std::u16string_view text,
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
