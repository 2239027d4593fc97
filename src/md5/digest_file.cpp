// The digest of a file's contents. Apart from the text digests so that a program that digests
// only text does not link the file streams.
#include <fstream>
#include <span>

#include "md5/digest_text.h"

namespace kalvane {
namespace {

// Files are read through a buffer of this size.
constexpr std::size_t kFileChunkSize = 64 * 1024;

DigestError UnreadableFile(const std::filesystem::path& file, const char* what) {
  return DigestError{
      .kind = DigestError::Kind::kUnreadableFile,
      .file = file,
      .message = what,
  };
}

}  // namespace

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

}  // namespace kalvane
