#include "status/status_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "tray/status_icon_rule.h"

namespace kalvane {
namespace {

constexpr TimeOfDay kNoon{12, 3};

// A step that wrote `rows` rows.
HostsOutcome Wrote(std::size_t rows, HostsStep step = HostsStep::kWritten) {
  return HostsOutcome::Done(
      step, std::make_shared<const DomainList>(rows, DomainMapping{"h", "1.2.3.4"}));
}

// A step that failed with `code`.
HostsOutcome Fail(HostsStep step, std::uint32_t code, StatusKind kind = StatusKind::kFailed) {
  return HostsOutcome::Failed(step, Status::Failure(kind, code));
}

// A cycle whose answer was taken, its rows going to a hosts step that ended with `hosts`.
CycleReport Taken(HostsOutcome hosts, bool confirmed = true, bool after_failures = false) {
  AnswerTaken taken;
  taken.confirmed = confirmed;
  taken.after_failures = after_failures;
  taken.hosts = std::move(hosts);
  return {std::move(taken)};
}

// A cycle whose last attempt got no answer, for `transfer`.
CycleReport Unanswered(Status transfer = Status::Failure(StatusKind::kFailed)) {
  return {NoAnswer{transfer, {}}};
}

TEST(StatusLine, NamesTheOutcomeAndItsTime) {
  EXPECT_EQ(StatusLine(Taken(Wrote(2)), kNoon), u"已更新 2 条映射 (12:03)");
  EXPECT_EQ(StatusLine(Taken(Wrote(7, HostsStep::kUnchanged)), {9, 45}),
            u"已更新 7 条映射 (09:45)");
  EXPECT_EQ(StatusLine(Taken(HostsOutcome::Done(HostsStep::kNotTouched)), {0, 0}),
            u"服务器没有返回映射，hosts 文件未改动 (00:00)");
  EXPECT_EQ(StatusLine(Taken(Fail(HostsStep::kReplace, 5)), kNoon),
            u"无法写入 hosts 文件：拒绝访问 (12:03)");
  EXPECT_EQ(StatusLine(Taken(Fail(HostsStep::kRead, 32)), {23, 59}),
            u"无法读取 hosts 文件：文件正被其他程序使用 (23:59)");
  // A failed attempt before the one that got through still ends with result 2.
  EXPECT_EQ(StatusLine(Taken(Wrote(1), true, true), kNoon), u"重试后已更新 1 条映射 (12:03)");

  EXPECT_EQ(StatusLine(Unanswered(), kNoon), u"无法连接服务器 (12:03)");
  // No answer names its reason, in the status line and in the tool-tip, which is cut to its room.
  const CycleReport unreachable = Unanswered(Status::Failure(StatusKind::kFailed, 10061));
  EXPECT_EQ(StatusLine(unreachable, kNoon), u"无法连接服务器：连接被拒绝 (12:03)");
  EXPECT_EQ(TipStatusLine(unreachable, kNoon), u"无法连接服务器：连接被拒绝 (12:03)");
  const CycleReport unsendable{AccountNotSent{}};
  EXPECT_EQ(StatusLine(unsendable, kNoon), u"账号含有无法发送的字符，未连接服务器 (12:03)");
  EXPECT_EQ(RoutedOutcomeText(unsendable), u"账号含有无法发送的字符，未连接服务器")
      << "nothing went out: no way to name";
}

// The status window and the history say which way the cycle went; a proxy that failed before a
// cycle without an answer comes first, in the tool-tip too.
TEST(StatusLine, TheWayTheCycleWentIsNamed) {
  const ProxyServer proxy{"proxy.corp", 8080};
  CycleReport through = Taken(Wrote(2));
  std::get<AnswerTaken>(through.ending).route.proxy = proxy;
  EXPECT_EQ(RoutedOutcomeText(through), u"已更新 2 条映射（经代理 proxy.corp:8080）");
  CycleReport direct = Taken(Wrote(2));
  // An answer came: the proxy's failure is no news.
  std::get<AnswerTaken>(direct.ending).route.failed_proxy = proxy;
  EXPECT_EQ(RoutedOutcomeText(direct), u"已更新 2 条映射（直接连接）");

  NoAnswer none{Status::Failure(StatusKind::kNotFound, 11001), {}};
  none.route.failed_proxy = proxy;
  none.route.proxy_failure = Status::Failure(StatusKind::kFailed, 10061);
  EXPECT_EQ(RoutedOutcomeText({none}),
            u"无法连接代理服务器 "
            u"proxy.corp:8080：连接被拒绝；无法连接服务器：找不到服务器地址（直接连接）");
  EXPECT_EQ(TipStatusLine({none}, kNoon),
            u"无法连接代理服务器 proxy.corp:8080：连接被拒绝 (12:03)");
  none.route.proxy_wants_credentials = true;
  EXPECT_EQ(TipStatusLine({none}, kNoon), u"代理服务器要求身份验证 (12:03)");
  // A refused answer is an answer: the proxy that failed before it is no news either.
  const CycleReport refused{AnswerRefused{{AnswerFault::kErrorStatus, 500}, none.route}};
  EXPECT_EQ(RoutedOutcomeText(refused), u"服务器返回错误（HTTP 500）（直接连接）");
}

TEST(StatusLine, ARestoreSaysWhatItDid) {
  RestoreReport restored{GuardDecision::kRestore, Wrote(1)};
  EXPECT_EQ(RestoreText(restored), u"已恢复被其他程序移除的映射");
  RestoreReport moved{GuardDecision::kMoveUp, Wrote(1)};
  EXPECT_EQ(RestoreText(moved), u"已将其他程序加入本段的行移到 #BEGIN 之上");
  RestoreReport failed{GuardDecision::kRestore, Fail(HostsStep::kReplace, 5)};
  EXPECT_EQ(RestoreText(failed), u"无法写入 hosts 文件：拒绝访问");
  const RestoreReport paused{GuardDecision::kPaused, {}};
  EXPECT_EQ(RestoreText(paused), u"hosts 文件被其他程序反复改写，已暂停恢复");
}

TEST(StatusLine, AnUnconfirmedAccountComesFirstAndNamesAHostsFailureToo) {
  EXPECT_EQ(StatusLine(Taken(Wrote(1), false), kNoon), u"账号未确认 (12:03)");
  EXPECT_EQ(StatusLine(Taken(Fail(HostsStep::kReplace, 5), false), kNoon),
            u"账号未确认；无法写入 hosts 文件：拒绝访问 (12:03)");
}

TEST(StatusLine, EveryHostsFailureHasWordsAndOnlyFailuresDo) {
  EXPECT_EQ(HostsFailureText(Fail(HostsStep::kRead, 0, StatusKind::kRejected)),
            u"hosts 文件不是文本，未改动");
  EXPECT_EQ(HostsFailureText(Wrote(2)), u"");
  // Every failure has words of its own.
  std::vector<std::u16string> texts;
  for (const HostsOutcome& failure :
       {Fail(HostsStep::kLocate, 0, StatusKind::kNotFound),
        Fail(HostsStep::kRead, 0, StatusKind::kNotFound), Fail(HostsStep::kRead, 0),
        Fail(HostsStep::kRead, 0, StatusKind::kRejected), Fail(HostsStep::kTempFile, 0),
        Fail(HostsStep::kVerify, 0), Fail(HostsStep::kPutBack, 0),
        Fail(HostsStep::kCompose, 0, StatusKind::kOutOfMemory)}) {
    texts.push_back(HostsFailureText(failure));
    EXPECT_NE(texts.back(), u"") << static_cast<int>(failure.step);
  }
  EXPECT_EQ(std::set<std::u16string>(texts.begin(), texts.end()).size(), texts.size())
      << "two failures share their words";
}

// Every system error code that has words of its own, and one that has none.
TEST(StatusLine, EachKnownErrorCodeIsNamed) {
  const struct {
    std::uint32_t code;
    std::u16string_view reason;
  } kCases[] = {
      {2, u"找不到文件"},               // ERROR_FILE_NOT_FOUND
      {3, u"找不到文件"},               // ERROR_PATH_NOT_FOUND
      {5, u"拒绝访问"},                 // ERROR_ACCESS_DENIED
      {19, u"磁盘写保护"},              // ERROR_WRITE_PROTECT
      {32, u"文件正被其他程序使用"},    // ERROR_SHARING_VIOLATION
      {33, u"文件正被其他程序使用"},    // ERROR_LOCK_VIOLATION
      {112, u"磁盘已满"},               // ERROR_DISK_FULL
      {1224, u"文件正被其他程序使用"},  // ERROR_USER_MAPPED_FILE
      {1234, u"错误 1234"},             // no words of its own
  };
  for (const auto& known : kCases) {
    EXPECT_EQ(HostsFailureText(Fail(HostsStep::kReplace, known.code)),
              u"无法写入 hosts 文件：" + std::u16string(known.reason))
        << known.code;
  }
}

// The tool-tip keeps "Kalvane" first and fits the shell's record with the longest line we make.
TEST(StatusLine, TheToolTipFitsItsRecord) {
  const std::u16string longest =
      StatusLine(Taken(Fail(HostsStep::kPutBack, 4294967295u), false), kNoon);
  const std::u16string tip = TrayTipText(longest);
  EXPECT_EQ(tip, u"Kalvane\n" + longest) << "cut although it fits";
  EXPECT_LT(tip.size(), kTrayTipCapacity);
  EXPECT_EQ(TrayTipText(u""), u"Kalvane");

  const std::u16string too_long(200, u'字');
  EXPECT_EQ(TrayTipText(too_long).size(), kTrayTipCapacity - 1);
  EXPECT_TRUE(TrayTipText(too_long).starts_with(u"Kalvane\n字"));
  // A surrogate pair that would be cut in two is left out whole.
  std::u16string pairs(60, u'x');
  for (int i = 0; i < 40; ++i) pairs += u"\U0001F600";
  const std::u16string cut = TrayTipText(pairs);
  EXPECT_EQ(cut.size(), kTrayTipCapacity - 2);
  EXPECT_TRUE(cut.back() >= 0xDC00 && cut.back() <= 0xDFFF);
}

// The debug line names the step that failed, what it worked on and the system's words for why.
TEST(StatusLine, TheDebugOutputNamesTheFailingStepItsSubjectAndTheSystemsWords) {
  const DebugSubjects subjects{u"C:\\etc\\hosts", u"dns.kalvane.example", [](std::uint32_t code) {
                                 return code == 5 ? u"Access is denied.\r\n" : u"";
                               }};
  EXPECT_EQ(DebugReportLine(Taken(Wrote(2)), kNoon, subjects), u"");
  EXPECT_EQ(DebugReportLine(Taken(Fail(HostsStep::kReplace, 5)), kNoon, subjects),
            u"Kalvane: 12:03:00 update: replace C:\\etc\\hosts: " +
                HostsFailureText(Fail(HostsStep::kReplace, 5)) +
                u" - Access is denied. (Win32 error 5)\n");
  const CycleReport unreachable = Unanswered(Status::Failure(StatusKind::kFailed, 10061));
  EXPECT_EQ(DebugReportLine(unreachable, kNoon, subjects),
            u"Kalvane: 12:03:00 update: GET http://dns.kalvane.example/: " +
                OutcomeText(unreachable) + u" - (Winsock error 10061)\n");
  EXPECT_EQ(DebugCleanUpLine(HostsOutcome::Done(HostsStep::kNotTouched), subjects), u"");
  EXPECT_EQ(DebugCleanUpLine(Fail(HostsStep::kRead, 5), subjects),
            u"Kalvane: exit clean-up: read C:\\etc\\hosts: " +
                HostsFailureText(Fail(HostsStep::kRead, 5)) +
                u" - Access is denied. (Win32 error 5)\n");
}

}  // namespace
}  // namespace kalvane
