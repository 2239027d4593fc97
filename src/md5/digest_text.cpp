#include "md5/digest_text.h"

#include <fstream>
#include <span>

namespace kalvane {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Files are read through a buffer of this size.
constexpr std::size_t kFileChunkSize = 64 * 1024;

void AppendHexByte(std::string& out, std::uint8_t byte) {
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

DigestError UnconvertibleCharacter(std::size_t index, char16_t ch) {
  std::string code = "U+";
  AppendHexByte(code, static_cast<std::uint8_t>(ch >> 8));
  AppendHexByte(code, static_cast<std::uint8_t>(ch & 0xFF));
  return DigestError{
      .kind = DigestError::Kind::kUnconvertibleCharacter,
      .index = index,
      .message = "character " + std::to_string(index) + " (" + code +
                 ") has no single-byte code in the ANSI code page",
  };
}

DigestError UnreadableFile(const std::filesystem::path& file, const char* what) {
  return DigestError{
      .kind = DigestError::Kind::kUnreadableFile,
      .file = file,
      .message = what,
  };
}

std::string RegisterText(std::uint32_t word) {
  return std::to_string(static_cast<std::int32_t>(word));
}

}  // namespace

DigestTextResult DigestStrToHexStr(std::u16string_view text, const SingleByteConverter& to_byte) {
  auto bytes = StrToByteArray(text, to_byte);
  if (!bytes) return bytes.error();
  Md5Engine engine;
  engine.MD5Update(bytes.value());
  engine.MD5Final();
  return GetValues(engine);
}

DigestTextResult DigestFileToHexStr(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return UnreadableFile(file, "cannot open the file for reading");
  Md5Engine engine;
  std::vector<std::uint8_t> chunk(kFileChunkSize);
  while (in) {
    in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    engine.MD5Update(std::span(chunk).first(static_cast<std::size_t>(in.gcount())));
  }
  if (in.bad()) return UnreadableFile(file, "cannot read the file");
  engine.MD5Final();
  return GetValues(engine);
}

DigestResult<std::vector<std::uint8_t>> StrToByteArray(std::u16string_view text,
                                                       const SingleByteConverter& to_byte) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size());
  for (const char16_t ch : text) {
    const std::optional<std::uint8_t> byte = to_byte(ch);
    if (!byte) return UnconvertibleCharacter(bytes.size(), ch);
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
    AppendHexByte(text, static_cast<std::uint8_t>(word >> shift));
  }
  return text;
}

std::string RegisterA(const Md5Engine& engine) { return RegisterText(engine.State()[0]); }
std::string RegisterB(const Md5Engine& engine) { return RegisterText(engine.State()[1]); }
std::string RegisterC(const Md5Engine& engine) { return RegisterText(engine.State()[2]); }
std::string RegisterD(const Md5Engine& engine) { return RegisterText(engine.State()[3]); }

}  // namespace kalvane
