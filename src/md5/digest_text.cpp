#include "md5/digest_text.h"

#include <cstdint>
#include <vector>

#include "base/text.h"

namespace kalvane {
namespace {

// One byte per character of `text` (no terminator), or kUnconvertible at the first character
// without one.
Result<std::vector<std::uint8_t>> SingleByteCodes(std::u16string_view text,
                                                  const AnsiCodePage& code_page) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size());
  for (const char16_t ch : text) {
    const std::optional<std::uint8_t> byte = code_page.SingleByte(ch);
    if (!byte) return Status::Failure(StatusKind::kUnconvertible, 0, bytes.size());
    bytes.push_back(*byte);
  }
  return bytes;
}

}  // namespace

DigestTextResult TextDigest(std::u16string_view text, const AnsiCodePage& code_page) {
  const auto bytes = SingleByteCodes(text, code_page);
  if (!bytes) return bytes.status();
  Md5Engine engine;
  engine.MD5Update(bytes.value());
  engine.MD5Final();
  return HexDigest(engine);
}

std::string HexDigest(const Md5Engine& engine) {
  std::string text;
  text.reserve(kDigestTextLength);
  for (const std::uint32_t word : engine.State()) {
    for (int shift = 0; shift < 32; shift += 8) {
      AppendHexByte(text, static_cast<std::uint8_t>(word >> shift), HexCase::kUpper);
    }
  }
  return text;
}

}  // namespace kalvane
