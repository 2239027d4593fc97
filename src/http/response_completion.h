#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kalvane {

// The only status line the service answers with when it has the list.
inline constexpr std::string_view kAcceptedStatusLine = "HTTP/1.1 200 OK";

// Responses larger than this are refused: the list of one account is a few kilobytes, and a
// peer that sends without end must not exhaust memory.
inline constexpr std::size_t kMaxResponseBytes = 16 * 1024 * 1024;
// The status line and headers of the service's answer take a few hundred bytes; a header block
// that has not ended by this size never will.
inline constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

enum class ResponseState {
  kIncomplete,  // a correct beginning: wait for more bytes
  kComplete,    // the accepted status line, a whole header block and the whole announced body
  kRejected,    // another status, no usable Content-Length, or too large: stop now
  kProxyAuth,   // a proxy's whole "407" answer: it asks for credentials
};

// Judges the bytes received so far in one transaction. TCP is a stream, so any prefix of a good
// response is Incomplete, never Rejected. Bytes past the announced body do not prevent completion.
ResponseState JudgeResponse(std::string_view received);

// The status line and header lines of `response`, up to the blank line that ends them (all of it
// when none has come).
std::string_view HeaderBlock(std::string_view response);

// The body of a response JudgeResponse found complete: the bytes after the header block's blank
// line, cut at the announced Content-Length (bytes past it are no part of the answer).
std::string_view CompleteBody(std::string_view complete);

// Why an answer that came back was not taken.
enum class AnswerFault : std::uint8_t {
  kNone,          // taken: the accepted status line and the whole announced body
  kErrorStatus,   // an HTTP/1.1 status other than 200
  kOtherVersion,  // a status line of another HTTP version
  kNoLength,      // no usable Content-Length
  kTooLarge,      // a header block or a response beyond the limits above
  kUnrecognised,  // no status line we can read
};

struct AnswerVerdict {
  AnswerFault fault = AnswerFault::kNone;
  int status_code = 0;  // kErrorStatus: the status line's three digits

  bool operator==(const AnswerVerdict&) const = default;
};

// Why JudgeResponse rejected `received` (bytes it answered kRejected for), from the status line
// as far as it came.
AnswerVerdict RefusalOf(std::string_view received);
// The same for an answer that came through a proxy, which may also ask for credentials with a
// "HTTP/1.1 407" answer: that is complete with its header block and its body (none without a
// usable Content-Length line).
ResponseState JudgeProxyResponse(std::string_view received);

// The announced body length, when the header block holds a Content-Length line with a number
// (the name in any letter case, optional spaces or tabs around the value) no larger than
// kMaxResponseBytes; nothing otherwise.
std::optional<std::size_t> FindContentLength(std::string_view header_block);

}  // namespace kalvane
