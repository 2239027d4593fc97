#include "http/response_completion.h"

#include <algorithm>
#include <cstdint>

#include "base/text.h"

namespace kalvane {
namespace {

constexpr std::string_view kContentLength = "content-length";

// A decimal number without sign; nothing when empty, not all digits, or larger than any body we
// would accept.
std::optional<std::size_t> ParseLength(std::string_view digits) {
  const std::optional<std::uint64_t> value = ParseDecimal(digits);
  if (!value || *value > kMaxResponseBytes) return std::nullopt;
  return static_cast<std::size_t>(*value);
}

bool StatusLineAcceptable(std::string_view received) {
  const std::size_t judged = std::min(received.size(), kAcceptedStatusLine.size());
  return received.substr(0, judged) == kAcceptedStatusLine.substr(0, judged);
}

constexpr std::string_view kHttpPrefix = "HTTP/";
constexpr std::string_view kAcceptedVersion = "1.1";

// Where the body of `received` starts and how long it is said to be, as far as the bytes tell.
struct Framing {
  std::size_t body_start = std::string_view::npos;  // npos: the header block has not ended
  std::optional<std::size_t> body_length;           // nothing: no usable Content-Length
};

// The one place that splits header block and body: the first blank line within kMaxHeaderBytes
// ends the header block, whose Content-Length line gives the body's length.
Framing FramingOf(std::string_view received) {
  const std::size_t header_end = received.substr(0, kMaxHeaderBytes).find(kHeaderEnd);
  if (header_end == std::string_view::npos) return {};
  return {header_end + kHeaderEnd.size(),
          FindContentLength(received.substr(0, header_end + kLineEnd.size()))};
}

// The three digits of a status line's code after "HTTP/x.y ", when they are there.
std::optional<int> StatusCode(std::string_view after_version) {
  if (after_version.size() < 4 || after_version[0] != ' ') return std::nullopt;
  const std::optional<std::uint64_t> code = ParseDecimal(after_version.substr(1, 3));
  if (!code || (after_version.size() > 4 && after_version[4] != ' ')) return std::nullopt;
  return static_cast<int>(*code);
}

}  // namespace

AnswerVerdict RefusalOf(std::string_view received) {
  if (received.size() > kMaxResponseBytes) return {AnswerFault::kTooLarge};
  const std::string_view status_line = received.substr(0, received.find(kLineEnd));
  if (!status_line.starts_with(kHttpPrefix)) return {AnswerFault::kUnrecognised};
  const std::string_view rest = status_line.substr(kHttpPrefix.size());
  const std::string_view version = rest.substr(0, rest.find(' '));
  if (version != kAcceptedVersion) return {AnswerFault::kOtherVersion};
  const std::optional<int> code = StatusCode(rest.substr(version.size()));
  if (!code) return {AnswerFault::kUnrecognised};
  if (status_line != kAcceptedStatusLine) {
    // 200 with a reason other than "OK" is no status we know either.
    return *code == 200 ? AnswerVerdict{AnswerFault::kUnrecognised}
                        : AnswerVerdict{AnswerFault::kErrorStatus, *code};
  }
  const Framing framing = FramingOf(received);
  if (framing.body_start == std::string_view::npos) return {AnswerFault::kTooLarge};
  if (!framing.body_length) return {AnswerFault::kNoLength};
  return {AnswerFault::kTooLarge};
}

std::optional<std::size_t> FindContentLength(std::string_view header_block) {
  // Header lines start after the status line; the first Content-Length line decides.
  std::size_t line_start = header_block.find(kLineEnd);
  while (line_start != std::string_view::npos) {
    line_start += kLineEnd.size();
    const std::size_t line_end = header_block.find(kLineEnd, line_start);
    const std::string_view line =
        header_block.substr(line_start, line_end == std::string_view::npos ? std::string_view::npos
                                                                           : line_end - line_start);
    if (StartsWithAsciiNoCase(line, kContentLength) && line.size() > kContentLength.size() &&
        line[kContentLength.size()] == ':') {
      return ParseLength(TrimBlanks(line.substr(kContentLength.size() + 1)));
    }
    line_start = line_end;
  }
  return std::nullopt;
}

ResponseState JudgeResponse(std::string_view received) {
  if (!StatusLineAcceptable(received)) return ResponseState::kRejected;
  if (received.size() > kMaxResponseBytes) return ResponseState::kRejected;
  if (received.size() < kAcceptedStatusLine.size()) return ResponseState::kIncomplete;

  const Framing framing = FramingOf(received);
  if (framing.body_start == std::string_view::npos) {
    return received.size() >= kMaxHeaderBytes ? ResponseState::kRejected
                                              : ResponseState::kIncomplete;
  }
  if (!framing.body_length) return ResponseState::kRejected;
  return received.size() - framing.body_start >= *framing.body_length ? ResponseState::kComplete
                                                                      : ResponseState::kIncomplete;
}

std::string_view HeaderBlock(std::string_view response) {
  return response.substr(0, response.find(kHeaderEnd));
}

std::string_view CompleteBody(std::string_view complete) {
  const Framing framing = FramingOf(complete);
  if (framing.body_start == std::string_view::npos || !framing.body_length) return {};
  return complete.substr(framing.body_start, *framing.body_length);
}

ResponseState JudgeProxyResponse(std::string_view received) {
  constexpr std::string_view kAuthStatusLine = "HTTP/1.1 407";
  const std::size_t judged = std::min(received.size(), kAuthStatusLine.size());
  if (received.substr(0, judged) != kAuthStatusLine.substr(0, judged)) {
    return JudgeResponse(received);
  }
  if (received.size() > kMaxHeaderBytes) return ResponseState::kRejected;
  const Framing framing = FramingOf(received);
  if (judged < kAuthStatusLine.size() || framing.body_start == std::string_view::npos) {
    return ResponseState::kIncomplete;
  }
  return received.size() - framing.body_start >= framing.body_length.value_or(0)
             ? ResponseState::kProxyAuth
             : ResponseState::kIncomplete;
}

}  // namespace kalvane
