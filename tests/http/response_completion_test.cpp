#include "http/response_completion.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvane {
namespace {

const std::string kBody = "<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>host1&nbsp;10.0.0.1</p>\r\n<p>END</p>";
const std::string kResponse = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                              std::to_string(kBody.size()) + "\r\n\r\n" + kBody;

// TCP is a stream: every cut of a good answer is a beginning to wait on, never a verdict.
TEST(ResponseCompletion, EveryPrefixOfAGoodResponseIsIncomplete) {
  for (std::size_t n = 0; n < kResponse.size(); ++n) {
    EXPECT_EQ(JudgeResponse(std::string_view(kResponse).substr(0, n)), ResponseState::kIncomplete)
        << n;
  }
  EXPECT_EQ(JudgeResponse(kResponse), ResponseState::kComplete);
}

TEST(ResponseCompletion, JudgesWholeAnswers) {
  constexpr auto I = ResponseState::kIncomplete, C = ResponseState::kComplete,
                 R = ResponseState::kRejected;
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const struct {
    std::string received;
    ResponseState expected;
  } cases[] = {
      {ok + "Content-Length: 0\r\n\r\n", C},
      {ok + "Content-Length: 3\r\n\r\nabcdef", C},  // bytes past the body do not matter
      {ok + "content-length: 2\r\n\r\nok", C},      // the name in any letter case,
      {ok + "CONTENT-LENGTH:2\r\n\r\nok", C},
      {ok + "Content-Length:   2  \r\n\r\nok", C},  // blanks around the value
      {ok + "Content-length:\t2\r\n\r\nok", C},
      {ok + "Server: x\r\nContent-Length: 2\r\nX: y\r\n\r\nok", C},
      {ok + "Content-Length: 2\r\nContent-Length: 9\r\n\r\nok", C},  // the first one decides
      {ok + "Content-Length: 3\r\n\r\nok", I},
      // The length line has come but the blank line has not: more headers are no body.
      {ok + "Content-Length: 3\r\nX-Padding: " + std::string(100, 'x'), I},
      {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n", R},
      {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", R},
      {"http/1.1 200 OK\r\n", R},
      {"HTTP/1.1 404", R},
      {"X", R},
      {ok + "Server: x\r\n\r\nok", R},  // no length
      {ok + "Content-Length: abc\r\n\r\nok", R},
      {ok + "Content-Length: \r\n\r\nok", R},
      {ok + "Content-Length: -1\r\n\r\nok", R},
      {ok + "Content-Length: 2 2\r\n\r\nok", R},
      {ok + "Content-Length: 99999999999999999999\r\n\r\nok", R},
      {ok + "Content-Length: " + std::to_string(kMaxResponseBytes + 1) + "\r\n\r\n", R},
      {ok + "Transfer-Encoding: chunked\r\n\r\nok", R},
      {ok + "X-Content-Length: 2\r\n\r\nok", R},
      {ok + "Content-Length 2\r\n\r\nok", R},
      {ok + "X-Filler: " + std::string(kMaxHeaderBytes, 'x'), R},  // a header block without end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JudgeResponse(c.received), c.expected) << c.received.substr(0, 80);
  }
}

// Header and body are split here once: what the service wrote in a header line, or sent past the
// announced length, is no part of the page.
TEST(ResponseCompletion, TheBodyStartsAfterTheFirstBlankLineAndEndsAtItsLength) {
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const std::pair<std::string, std::string> cases[] = {
      {kResponse, kBody},
      {ok + "Content-Length: 0\r\n\r\n", ""},
      {ok + "Content-Length: 3\r\n\r\nabcdef", "abc"},
      {ok + "X-Note: <p>OK</p>\r\nContent-Length: 12\r\n\r\nbody\r\n\r\nmore!", "body\r\n\r\nmore"},
  };
  for (const auto& [response, body] : cases) {
    ASSERT_EQ(JudgeResponse(response), ResponseState::kComplete) << response;
    EXPECT_EQ(CompleteBody(response), body) << response;
  }
}

}  // namespace
}  // namespace kalvane
