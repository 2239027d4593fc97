#include "status/connect_reason.h"

#include <gtest/gtest.h>

#include <string>

#include "status/status_tip.h"

namespace kalvane {
namespace {

TEST(ConnectFailureReason, NamesWhyNoConnectionCameAbout) {
  struct Case {
    Status failure;
    std::u16string_view reason;
  };
  const auto code = [](std::uint32_t winsock) {
    return Status::Failure(StatusKind::kFailed, winsock);
  };
  const Case cases[] = {
      {OkStatus(), u""},
      {Status::Failure(StatusKind::kNotFound), u"：找不到服务器地址"},
      {code(11001), u"：找不到服务器地址"},
      {code(11002), u"：找不到服务器地址"},
      {code(11003), u"：找不到服务器地址"},
      {code(11004), u"：找不到服务器地址"},
      {code(10061), u"：连接被拒绝"},
      {Status::Failure(StatusKind::kTimedOut), u"：连接超时"},
      {code(10060), u"：连接超时"},
      {code(10051), u"：网络不可用"},
      {code(10065), u"：网络不可用"},
      {code(10050), u"：网络不可用"},
      {code(10054), u"：连接中断"},
      {code(10053), u"：连接中断"},
      {Status::Failure(StatusKind::kBrokenOff), u"：连接中断"},
      // The code is the more precise word: a lookup that timed out still found no address.
      {Status::Failure(StatusKind::kTimedOut, 11002), u"：找不到服务器地址"},
      {Status::Failure(StatusKind::kNotFound, 10055), u"：找不到服务器地址"},
      {code(10055), u""},  // WSAENOBUFS: none of the reasons
      {code(0), u""},
      {Status::Failure(StatusKind::kRejected), u""},
      {Status::Failure(StatusKind::kCancelled, 10054), u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "kind " << static_cast<int>(c.failure.kind()) << ", code "
                                      << c.failure.system_error());
    EXPECT_EQ(ConnectFailureReason(c.failure), c.reason);
  }
}

TEST(FitStatusLine, ShortensTheReasonBeforeTheTime) {
  const std::u16string time = u" (12:03)";
  struct Case {
    std::u16string outcome;
    std::u16string reason;
    std::size_t room;
    std::u16string line;
  };
  const Case cases[] = {
      {u"无法连接服务器", u"：连接超时", 20, u"无法连接服务器：连接超时 (12:03)"},
      {u"无法连接服务器", u"：连接超时", 19, u"无法连接服务器：连接… (12:03)"},
      {u"无法连接服务器", u"：连接超时", 17, u"无法连接服务器：… (12:03)"},
      {u"无法连接服务器", u"：连接超时", 16, u"无法连接服务器 (12:03)"},
      {u"无法连接服务器", u"：连接超时", 15, u"无法连接服务器 (12:03)"},
      {u"无法连接服务器", u"：连接超时", 12, u"无法连接服务器 (12:"},
      {u"无法连接服务器", u"：连接超时", 5, u"无法连接服"},
      // Never half a surrogate pair: U+1F600 is two code units.
      {u"x", u"：\U0001F600\U0001F600", 13, u"x：\U0001F600… (12:03)"},
      {u"x", u"：\U0001F600\U0001F600", 12, u"x：… (12:03)"},
      {u"\U0001F600\U0001F600", u"", 3, u"\U0001F600"},
  };
  for (const Case& c : cases) {
    const std::u16string line = FitStatusLine(c.outcome, c.reason, time, c.room);
    EXPECT_EQ(line, c.line) << "room " << c.room;
    EXPECT_LE(line.size(), c.room);
  }
  // With the tool-tip's room the title and the line stay within its 127 characters.
  const std::u16string long_reason(200, u'长');
  const std::u16string line = FitStatusLine(u"无法连接服务器", long_reason, time);
  EXPECT_EQ(line.size(), kTipStatusRoom);
  EXPECT_EQ(line.substr(line.size() - time.size()), time);
  EXPECT_EQ(TrayTipText(line).size(), kTrayTipCapacity - 1);
  EXPECT_EQ(TrayTipText(line).substr(8), line);
}

}  // namespace
}  // namespace kalvane
