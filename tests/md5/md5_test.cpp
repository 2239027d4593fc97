#include "md5/md5.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "md5/digest_text.h"
#include "md5_reference.h"

namespace kalvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::OpenSslDigestText;

Bytes RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

Bytes BytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Feeds `bytes` in pieces of `piece` bytes (the whole at once for 0).
std::string EngineDigestText(const Bytes& bytes, std::size_t piece = 0) {
  Md5Engine engine;
  engine.MD5Init();
  const std::span<const std::uint8_t> all(bytes);
  if (piece == 0) piece = bytes.size() + 1;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    engine.MD5Update(all.subspan(at, std::min(piece, bytes.size() - at)));
  }
  engine.MD5Final();
  return HexDigest(engine);
}

TEST(Md5Engine, Rfc1321TestSuiteWholeSplitAndByteByByte) {
  for (const auto& [message, expected] : testing::kRfc1321Suite) {
    const Bytes bytes = BytesOf(message);
    EXPECT_EQ(EngineDigestText(bytes), expected) << message;
    EXPECT_EQ(EngineDigestText(bytes, 1), expected) << message;
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
      Md5Engine engine;
      engine.MD5Update(std::span(bytes).first(cut));
      engine.MD5Update(std::span(bytes).subspan(cut));
      engine.MD5Final();
      EXPECT_EQ(HexDigest(engine), expected) << message << " cut at " << cut;
    }
  }
}

TEST(Md5Engine, NoUpdateOrEmptyUpdatesGiveTheEmptyDigest) {
  Md5Engine engine;
  engine.MD5Final();
  EXPECT_EQ(HexDigest(engine), "D41D8CD98F00B204E9800998ECF8427E");
  engine.MD5Init();
  engine.MD5Update({});
  engine.MD5Update({});
  engine.MD5Final();
  EXPECT_EQ(HexDigest(engine), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(Md5Engine, EveryShortLengthMatchesOpenSslInEverySplit) {
  const Bytes data = RandomBytes(330, 1);
  for (std::size_t length = 0; length <= data.size(); ++length) {
    const Bytes message(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
    const std::string expected = OpenSslDigestText(message);
    for (const std::size_t piece : {0, 1, 7, 55, 63, 64, 65, 129}) {
      EXPECT_EQ(EngineDigestText(message, piece), expected) << length << " bytes by " << piece;
    }
  }
}

TEST(Md5Engine, LongMessagesMatchOpenSslInEverySplit) {
  const Bytes data = RandomBytes(std::size_t{1} << 20, 2);
  for (const std::size_t length : {1000, 4096, 32767, 32768, 65537, 100003, 1 << 20}) {
    const Bytes message(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
    const std::string expected = OpenSslDigestText(message);
    for (const std::size_t piece : {0, 61, 64, 4096, 65535}) {
      EXPECT_EQ(EngineDigestText(message, piece), expected) << length << " bytes by " << piece;
    }
  }
}

TEST(Md5Engine, CopiesContinueIndependentlyAndInitDiscardsADigestUnderWay) {
  const Bytes data = RandomBytes(200, 4);
  Md5Engine first;
  first.MD5Update(std::span(data).first(100));
  Md5Engine second = first;
  first.MD5Update(std::span(data).subspan(100));
  first.MD5Final();
  second.MD5Final();
  EXPECT_EQ(HexDigest(first), OpenSslDigestText(data));
  EXPECT_EQ(HexDigest(second), OpenSslDigestText(Bytes(data.begin(), data.begin() + 100)));

  second.MD5Init();
  second.MD5Update(BytesOf("abc"));
  second.MD5Final();
  EXPECT_EQ(HexDigest(second), "900150983CD24FB0D6963F7D28E17F72");
}

}  // namespace
}  // namespace kalvane
