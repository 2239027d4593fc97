#pragma once

#include <openssl/evp.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace kalvane::testing {

// The test suite of RFC 1321, digests in our upper-case text form.
inline constexpr std::pair<std::string_view, std::string_view> kRfc1321Suite[] = {
    {"", "D41D8CD98F00B204E9800998ECF8427E"},
    {"a", "0CC175B9C0F1B6A831C399E269772661"},
    {"abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
};

// OpenSSL's MD5 of `size` bytes, in our text form: the independent reference.
inline std::string OpenSslDigestText(const void* data, std::size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digest_size = 0;
  if (EVP_Digest(data, size, digest, &digest_size, EVP_md5(), nullptr) != 1) {
    throw std::runtime_error("OpenSSL MD5 failed");
  }
  std::string text;
  for (unsigned int i = 0; i < digest_size; ++i) {
    text += "0123456789ABCDEF"[digest[i] >> 4];
    text += "0123456789ABCDEF"[digest[i] & 0x0F];
  }
  return text;
}

template <typename Container>
std::string OpenSslDigestText(const Container& bytes) {
  return OpenSslDigestText(bytes.data(), bytes.size());
}

}  // namespace kalvane::testing
