#include "md5/digest_text.h"

#include <span>

#include "base/text.h"

namespace kalvane {
namespace {

std::string RegisterText(std::uint32_t word) {
  return std::to_string(static_cast<std::int32_t>(word));
}

}  // namespace

DigestTextResult DigestStrToHexStr(std::u16string_view text, const AnsiCodePage& code_page) {
  const auto bytes = StrToByteArray(text, code_page);
  if (!bytes) return bytes.status();
  Md5Engine engine;
  engine.MD5Update(bytes.value());
  engine.MD5Final();
  return GetValues(engine);
}

Result<std::vector<std::uint8_t>> StrToByteArray(std::u16string_view text,
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

std::string GetValues(const Md5Engine& engine) {
  std::string text;
  text.reserve(32);
  for (const std::uint32_t word : engine.State()) text += LongToHexStr(word);
  return text;
}

std::string LongToHexStr(std::uint32_t word) {
  std::string text;
  text.reserve(8);
  for (int shift = 0; shift < 32; shift += 8) {
    AppendHexByte(text, static_cast<std::uint8_t>(word >> shift), HexCase::kUpper);
  }
  return text;
}

std::string RegisterA(const Md5Engine& engine) { return RegisterText(engine.State()[0]); }
std::string RegisterB(const Md5Engine& engine) { return RegisterText(engine.State()[1]); }
std::string RegisterC(const Md5Engine& engine) { return RegisterText(engine.State()[2]); }
std::string RegisterD(const Md5Engine& engine) { return RegisterText(engine.State()[3]); }

}  // namespace kalvane
