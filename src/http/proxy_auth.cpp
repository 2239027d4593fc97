#include "http/proxy_auth.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/text.h"
#include "http/response_completion.h"

namespace kalvane {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kChallengeHeader = "proxy-authenticate";
constexpr std::string_view kNegotiate = "Negotiate";
constexpr std::string_view kNtlm = "NTLM";

struct Challenge {
  std::string_view scheme;
  std::string_view token;  // base64, empty when the proxy sent none
};

// Every Proxy-Authenticate line of the header block of `response`.
std::vector<Challenge> ChallengesOf(std::string_view response) {
  const std::string_view block = HeaderBlock(response);
  std::vector<Challenge> challenges;
  std::size_t start = block.find(kLineEnd);
  while (start != std::string_view::npos) {
    start += kLineEnd.size();
    const std::size_t end = block.find(kLineEnd, start);
    const std::string_view line =
        block.substr(start, end == std::string_view::npos ? end : end - start);
    start = end;
    if (!StartsWithAsciiNoCase(line, kChallengeHeader) || line.size() <= kChallengeHeader.size() ||
        line[kChallengeHeader.size()] != ':') {
      continue;
    }
    const std::string_view value = TrimBlanks(line.substr(kChallengeHeader.size() + 1));
    const std::size_t blank = value.find_first_of(" \t");
    challenges.push_back({value.substr(0, blank), blank == std::string_view::npos
                                                      ? std::string_view()
                                                      : TrimBlanks(value.substr(blank))});
  }
  return challenges;
}

std::optional<Challenge> Find(const std::vector<Challenge>& challenges, std::string_view scheme) {
  for (const Challenge& challenge : challenges) {
    if (EqualsAsciiNoCase(challenge.scheme, scheme)) return challenge;
  }
  return std::nullopt;
}

}  // namespace

Result<std::string> ProxyAuthentication::Answer(std::string_view response) {
  if (++rounds_ > kMaxAuthRounds) return Status::Failure(StatusKind::kRejected);
  const std::vector<Challenge> challenges = ChallengesOf(response);
  std::optional<Challenge> challenge;
  if (scheme_.empty()) {
    challenge = Find(challenges, kNegotiate);
    if (!challenge) challenge = Find(challenges, kNtlm);
    if (!challenge) return Status::Failure(StatusKind::kRejected);
    scheme_ = EqualsAsciiNoCase(challenge->scheme, kNegotiate) ? kNegotiate : kNtlm;
    context_ = packages_.Begin(scheme_, proxy_host_);
    if (!context_) return Status::Failure(StatusKind::kFailed);
  } else {
    challenge = Find(challenges, scheme_);
    // Asked again without a token: the credentials sent were not accepted.
    if (!challenge || challenge->token.empty()) return Status::Failure(StatusKind::kRejected);
  }
  const Result<std::string> proxy_token = Base64Decode(challenge->token);
  if (!proxy_token) return proxy_token.status();
  const Result<std::string> token = context_->Next(*proxy_token);
  if (!token) return token.status();
  return "Proxy-Authorization: " + scheme_ + " " + Base64Encode(*token) + "\r\n";
}

std::string Base64Encode(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (left > 1) group |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 1])) << 8;
    if (left > 2) group |= static_cast<std::uint8_t>(bytes[i + 2]);
    for (std::size_t k = 0; k < 4; ++k) {
      text.push_back(k <= left ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=');
    }
  }
  return text;
}

Result<std::string> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return Status::Failure(StatusKind::kRejected);
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t group = 0;
    int padding = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char ch = text[i + k];
      const bool last_group = i + 4 == text.size();
      if (ch == '=' && last_group && k >= 2 && (k == 3 || text[i + 3] == '=')) {
        ++padding;
        group <<= 6;
        continue;
      }
      const std::size_t value = kAlphabet.find(ch);
      if (value == std::string_view::npos || padding > 0) {
        return Status::Failure(StatusKind::kRejected);
      }
      group = group << 6 | static_cast<std::uint32_t>(value);
    }
    bytes.push_back(static_cast<char>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<char>(group >> 8));
    if (padding < 1) bytes.push_back(static_cast<char>(group));
  }
  return bytes;
}

}  // namespace kalvane
