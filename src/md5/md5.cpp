#include "md5/md5.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace kalvane {
namespace {

using Words = Md5Engine::Words;
using MessageWords = std::array<std::uint32_t, 16>;

// T[i] = integer part of 4294967296 * abs(sin(i + 1)).
constexpr std::array<std::uint32_t, 64> kStepConstant = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Shift amounts of the four rounds, used in turn by the steps of each round.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// The message word that a step reads.
constexpr int MessageIndex(int step) {
  const int i = step % 16;
  switch (step / 16) {
    case 0:
      return i;
    case 1:
      return (1 + 5 * i) % 16;
    case 2:
      return (5 + 3 * i) % 16;
    default:
      return (7 * i) % 16;
  }
}

[[gnu::always_inline]] inline std::uint32_t LoadLittleEndian(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

[[gnu::always_inline]] inline MessageWords DecodeBlock(const std::uint8_t* block) {
  MessageWords x;
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = LoadLittleEndian(block + 4 * i);
  return x;
}

// The steps: a = b + ((a + f(b, c, d) + x + t) <<< s). The terms that do not depend on b are
// summed first, so that the chain from one step's result into the next stays short.
[[gnu::always_inline]] inline std::uint32_t FF(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                               std::uint32_t d, std::uint32_t x, int s,
                                               std::uint32_t t) {
  return b + std::rotl(a + x + t + (d ^ (b & (c ^ d))), s);
}

// G(b, c, d) = (b and d) or (c and not d); the two terms share no bit, so they may be added.
[[gnu::always_inline]] inline std::uint32_t GG(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                               std::uint32_t d, std::uint32_t x, int s,
                                               std::uint32_t t) {
  return b + std::rotl(a + x + t + (c & ~d) + (b & d), s);
}

[[gnu::always_inline]] inline std::uint32_t HH(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                               std::uint32_t d, std::uint32_t x, int s,
                                               std::uint32_t t) {
  return b + std::rotl(a + x + t + (b ^ (c ^ d)), s);
}

[[gnu::always_inline]] inline std::uint32_t II(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                               std::uint32_t d, std::uint32_t x, int s,
                                               std::uint32_t t) {
  return b + std::rotl(a + x + t + (c ^ (b | ~d)), s);
}

// One of the 64 steps. The working words take the roles (a, b, c, d), (d, a, b, c), (c, d, a, b),
// (b, c, d, a) in turn.
template <int kStep>
[[gnu::always_inline]] inline void Step(Words& v, const MessageWords& x) {
  constexpr int kA = (4 - kStep % 4) % 4;
  constexpr int kB = (kA + 1) % 4;
  constexpr int kC = (kA + 2) % 4;
  constexpr int kD = (kA + 3) % 4;
  constexpr int kS = kShift[kStep / 16][kStep % 4];
  constexpr std::uint32_t kT = kStepConstant[kStep];
  const std::uint32_t m = x[MessageIndex(kStep)];
  if constexpr (kStep < 16) {
    v[kA] = FF(v[kA], v[kB], v[kC], v[kD], m, kS, kT);
  } else if constexpr (kStep < 32) {
    v[kA] = GG(v[kA], v[kB], v[kC], v[kD], m, kS, kT);
  } else if constexpr (kStep < 48) {
    v[kA] = HH(v[kA], v[kB], v[kC], v[kD], m, kS, kT);
  } else {
    v[kA] = II(v[kA], v[kB], v[kC], v[kD], m, kS, kT);
  }
}

template <int... kSteps>
[[gnu::always_inline]] inline void Steps(Words& v, const MessageWords& x,
                                         std::integer_sequence<int, kSteps...>) {
  (Step<kSteps>(v, x), ...);
}

// Runs the block transform over `block_count` consecutive 64-byte blocks.
void MD5Transform(Words& state, const std::uint8_t* blocks, std::size_t block_count) {
  Words chain = state;
  for (; block_count > 0; --block_count, blocks += Md5Engine::kBlockSize) {
    const MessageWords x = DecodeBlock(blocks);
    Words v = chain;
    Steps(v, x, std::make_integer_sequence<int, 64>{});
    for (std::size_t i = 0; i < chain.size(); ++i) chain[i] += v[i];
  }
  state = chain;
}

}  // namespace

void Md5Engine::MD5Init() noexcept {
  state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  byte_count_ = 0;
}

void Md5Engine::MD5Update(std::span<const std::uint8_t> bytes) noexcept {
  const std::size_t buffered = byte_count_ % kBlockSize;
  byte_count_ += bytes.size();
  if (buffered != 0) {
    const std::size_t take = std::min(bytes.size(), kBlockSize - buffered);
    std::copy_n(bytes.begin(), take, buffer_.begin() + buffered);
    bytes = bytes.subspan(take);
    if (buffered + take < kBlockSize) return;
    MD5Transform(state_, buffer_.data(), 1);
  }
  const std::size_t whole_blocks = bytes.size() / kBlockSize;
  MD5Transform(state_, bytes.data(), whole_blocks);
  const auto tail = bytes.subspan(whole_blocks * kBlockSize);
  std::copy(tail.begin(), tail.end(), buffer_.begin());
}

void Md5Engine::MD5Final() noexcept {
  // The message length in bits, modulo 2^64, taken before the padding is counted.
  const std::uint64_t bit_count = byte_count_ << 3;

  std::array<std::uint8_t, kBlockSize> pad{};
  pad[0] = 0x80;
  const std::size_t buffered = byte_count_ % kBlockSize;
  const std::size_t pad_length = buffered < 56 ? 56 - buffered : 120 - buffered;
  MD5Update(std::span(pad).first(pad_length));

  std::array<std::uint8_t, 8> length;
  for (std::size_t i = 0; i < length.size(); ++i) {
    length[i] = static_cast<std::uint8_t>(bit_count >> (8 * i));
  }
  MD5Update(length);
}

}  // namespace kalvane
