#include "http/response_completion.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvane {
namespace {

const std::string kBody = "<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>host1&nbsp;10.0.0.1</p>\r\n<p>END</p>";
const std::string kResponse = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                              std::to_string(kBody.size()) + "\r\n\r\n" + kBody;

TEST(ResponseCompletion, EveryPrefixOfAGoodResponseIsIncomplete) {
  for (std::size_t n = 0; n < kResponse.size(); ++n) {
    EXPECT_EQ(JudgeResponse(std::string_view(kResponse).substr(0, n)), ResponseState::kIncomplete)
        << n;
  }
  EXPECT_EQ(JudgeResponse(kResponse), ResponseState::kComplete);
}

}  // namespace
}  // namespace kalvane
