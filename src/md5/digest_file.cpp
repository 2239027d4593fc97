// The digest of a file's contents. Apart from the text digests so that a program that digests
// only text does not link the file streams.
#include <cerrno>
#include <fstream>
#include <span>

#include "md5/digest_text.h"

namespace kalvane {
namespace {

// Files are read through a buffer of this size.
constexpr std::size_t kFileChunkSize = 64 * 1024;

// The stream's failure: errno says why (ENOENT for a missing file), as the streams do not.
Status UnreadableFile() {
  const int error = errno;
  return Status::Failure(error == ENOENT ? StatusKind::kNotFound : StatusKind::kFailed,
                         static_cast<std::uint32_t>(error));
}

}  // namespace

DigestTextResult DigestFileToHexStr(const std::filesystem::path& file) {
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) return UnreadableFile();
  Md5Engine engine;
  std::vector<std::uint8_t> chunk(kFileChunkSize);
  while (in) {
    in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    engine.MD5Update(std::span(chunk).first(static_cast<std::size_t>(in.gcount())));
  }
  if (in.bad()) return UnreadableFile();
  engine.MD5Final();
  return GetValues(engine);
}

}  // namespace kalvane
