#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kalvane {

// Incremental MD5 (RFC 1321). A small value type: copy it to fork a digest in progress.
//
// A digest is MD5Init, any number of MD5Update calls (of any size, the message of any length),
// MD5Final, and then the state words A to D are read (State). Until the next MD5Init, further
// MD5Update or MD5Final calls continue from the finished state and give no meaningful digest.
class Md5Engine {
 public:
  static constexpr std::size_t kBlockSize = 64;

  // The state words A, B, C, D; after MD5Final they hold the digest, each word's bytes least
  // significant first.
  using Words = std::array<std::uint32_t, 4>;

  Md5Engine() noexcept { MD5Init(); }

  void MD5Init() noexcept;
  void MD5Update(std::span<const std::uint8_t> bytes) noexcept;
  void MD5Final() noexcept;

  [[nodiscard]] const Words& State() const noexcept { return state_; }

 private:
  Words state_;
  std::uint64_t byte_count_;  // bytes fed since MD5Init, MD5Final's padding and length included
  std::array<std::uint8_t, kBlockSize> buffer_{};  // the partial block: byte_count_ % 64 bytes
};

}  // namespace kalvane
