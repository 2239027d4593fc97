#include "sync/update_cycle.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "iconv_code_page.h"
#include "md5_reference.h"

namespace kalvane {
namespace {

const std::string kHostsBody =
    "<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>host1&nbsp;10.0.0.1</p>\r\n<p>host2&nbsp;10.0.0.2</p>\r\n"
    "<p>END</p>";

const Status kNoAnswer = Status::Failure(StatusKind::kTimedOut);
// A scripted answer that comes back refused: an error status.
const std::string kRefusedAnswer = "HTTP/1.1 500 Internal Server Error\r\n\r\n";

// The cycle's collaborators: each Get takes the next scripted answer (nothing = a failed
// attempt); hosts steps are recorded and answered with `hosts_report`.
class Fake final : public PageFetch, public HostsWriter, public AccountSource {
 public:
  Result<HttpAnswer> Get(std::string_view path) override {
    paths.emplace_back(path);
    if (during_get) during_get();
    if (answers.empty()) return kNoAnswer;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    if (!answer) return kNoAnswer;
    if (*answer == kRefusedAnswer) return HttpAnswer::Refused({AnswerFault::kErrorStatus, 500});
    return HttpAnswer::Taken(*answer);
  }
  void Cancel() override { ++cancels; }
  FetchRoute LastRoute() const override { return route; }
  void RefuseAlso(std::vector<std::string> hosts) override { refused_also = std::move(hosts); }
  HostsOutcome WriteHostsSection(const SharedDomainList& domains) noexcept override {
    writes.push_back(*domains);
    return hosts_report;
  }
  HostsOutcome ClearHostsSection() noexcept override {
    ++clears;
    return HostsOutcome::Done(HostsStep::kWritten);
  }
  Result<std::string> ReadHostsFile() noexcept override { return std::string(); }
  AccountBoxes Current() const override { return account; }

  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> paths;
  std::vector<DomainList> writes;
  std::function<void()> during_get;
  FetchRoute route;
  std::vector<std::string> refused_also;
  AccountBoxes account;
  int cancels = 0;
  int clears = 0;
  HostsOutcome hosts_report = HostsOutcome::Done(HostsStep::kWritten);
};

// ASCII only: the domain "é" has no code, and no password with "中" has a digest.
const testing::IconvCodePage kAscii("ASCII");

// The digest text the product would send for an ASCII password.
std::string Md5(std::string_view text) { return testing::OpenSslDigestText(text); }

std::optional<UpdateResult> RunCycle(UpdateCycle& cycle, Fake& fake, AccountBoxes account) {
  fake.account = std::move(account);
  return cycle.UpdateDomains(fake);
}

// The path built for `account`, or what kept it from being built.
std::string Path(const AccountBoxes& account) {
  const Result<std::string> path = BuildRequestPath(account, kAscii);
  return path ? *path : "failed: " + std::to_string(static_cast<int>(path.status().kind()));
}

std::string Failed(StatusKind kind) { return "failed: " + std::to_string(static_cast<int>(kind)); }

TEST(RequestPath, BothFormsTrimOnlyTheDomainAndEscapeNothing) {
  const Password digest = *Password::FromDigest(u"0123456789ABCDEF0123456789ABCDEF");
  EXPECT_EQ(Path({false, u"ignored", Password::Typed(u"ignored")}), "/kalvanedns/getdomain.asp");
  EXPECT_EQ(Path({true, u"  my domain.com  ", Password::Typed(u" pw ")}),
            "/kalvanedns/getdomain.asp?domain=my domain.com&pwd=" + Md5(" pw "));
  EXPECT_EQ(Path({true, u"d", digest}),
            "/kalvanedns/getdomain.asp?domain=d&pwd=0123456789ABCDEF0123456789ABCDEF");
  EXPECT_EQ(Path({true, u"", Password::Typed(u"")}),
            "/kalvanedns/getdomain.asp?domain=&pwd=" + Md5(""));
  // Values that cannot be converted, or that would break the request line, send nothing.
  EXPECT_EQ(Path({true, u"d", Password::Typed(u"\x4E2D")}), Failed(StatusKind::kUnconvertible));
  EXPECT_EQ(Path({true, u"\x00E9", Password::Typed(u"p")}), Failed(StatusKind::kUnconvertible));
  EXPECT_EQ(Path({true, u"a\r\nHost: x", Password::Typed(u"p")}), Failed(StatusKind::kRejected));
  EXPECT_EQ(Path({true, u"a\nb", digest}), Failed(StatusKind::kRejected));
}

// Text that is no digest text (typed in clear, a digest in lower case, one character short or
// long) never becomes a digest-form password: it is digested, never sent as it is.
TEST(RequestPath, TextThatIsNoDigestTextIsDigested) {
  const std::string prefix = "/kalvanedns/getdomain.asp?domain=d&pwd=";
  for (const std::u16string_view box :
       {std::u16string_view(u"typed in clear"), std::u16string_view(u""),
        std::u16string_view(u"0123456789abcdef0123456789abcdef"),
        std::u16string_view(u"0123456789ABCDEF0123456789ABCDE"),
        std::u16string_view(u"0123456789ABCDEF0123456789ABCDEF0"),
        std::u16string_view(u"0123456789ABCDEF0123456789ABCDEG")}) {
    const std::string typed(box.begin(), box.end());
    EXPECT_EQ(Password::FromDigest(box), std::nullopt) << typed;
    EXPECT_EQ(Path({true, u"d", Password::Typed(box)}), prefix + Md5(typed)) << typed;
  }
}

TEST(UpdateCycle, AConfirmedAnswerIsNoFailureAndItsListIsWritten) {
  Fake fake;
  fake.answers = {kHostsBody};
  UpdateCycle cycle(fake, fake, kAscii);
  EXPECT_EQ(RunCycle(cycle, fake, {true, u"d", Password::Typed(u"p")}), UpdateResult::kNoFailure);
  ASSERT_EQ(fake.writes.size(), 1u);
  ASSERT_EQ(fake.writes[0].size(), 2u);
  EXPECT_EQ(fake.writes[0][1], (DomainMapping{"host2", "10.0.0.2"}));
}

// An answer that came through a proxy, or after one failed, may not redirect that proxy's host.
TEST(UpdateCycle, TheProxysHostIsRefusedBeforeTheWrite) {
  Fake fake;
  fake.answers = {kHostsBody};
  fake.route.proxy = ProxyServer{"proxy.corp", 8080};
  fake.route.failed_proxy = ProxyServer{"other.corp", 3128};
  UpdateCycle cycle(fake, fake, kAscii);
  RunCycle(cycle, fake, {true, u"d", Password::Typed(u"p")});
  EXPECT_EQ(fake.refused_also, (std::vector<std::string>{"proxy.corp", "other.corp"}));
  EXPECT_EQ(cycle.LastReport().Route()->proxy->host, "proxy.corp");
}

TEST(UpdateCycle, AnAnswerWithoutTheConfirmationIsUnconfirmedAndItsListStillWritten) {
  Fake fake;
  fake.answers = {"<p>BEGIN</p>\r\n<p>h&nbsp;1.2.3.4</p>\r\n<p>END</p>"};
  UpdateCycle cycle(fake, fake, kAscii);
  EXPECT_EQ(RunCycle(cycle, fake, {true, u"d", Password::Typed(u"p")}),
            UpdateResult::kAccountNotConfirmed);
  ASSERT_EQ(fake.writes.size(), 1u);
  EXPECT_EQ(fake.writes[0].size(), 1u);
}

TEST(UpdateCycle, WithUpdatingOffTheAnswerNeedsNoConfirmation) {
  Fake fake;
  fake.answers = {"<p>BEGIN</p>\r\n<p>h&nbsp;1.2.3.4</p>\r\n"};
  UpdateCycle cycle(fake, fake, kAscii);
  EXPECT_EQ(RunCycle(cycle, fake, {}), UpdateResult::kNoFailure);
  EXPECT_EQ(fake.paths, std::vector<std::string>{"/kalvanedns/getdomain.asp"});
}

// Rows that could not be put into the hosts file are no success; an unconfirmed account stays the
// first thing to mend and keeps its result, with the hosts failure in the report.
TEST(UpdateCycle, AHostsStepThatFailsEndsAsAFailureUnlessTheAccountIsUnconfirmed) {
  const HostsOutcome denied =
      HostsOutcome::Failed(HostsStep::kReplace, Status::Failure(StatusKind::kFailed, 5));
  {
    Fake fake;
    fake.hosts_report = denied;
    fake.answers = {kHostsBody};
    UpdateCycle cycle(fake, fake, kAscii);
    EXPECT_EQ(RunCycle(cycle, fake, {true, u"d", Password::Typed(u"p")}),
              UpdateResult::kTransferFailed);
    EXPECT_EQ(fake.paths.size(), 1u) << "a hosts failure is not retried over the network";
    const AnswerTaken* taken = cycle.LastReport().Taken();
    ASSERT_NE(taken, nullptr);
    EXPECT_TRUE(taken->confirmed);
    EXPECT_FALSE(taken->after_failures);
    EXPECT_EQ(taken->hosts, denied);
  }
  {
    Fake fake;
    fake.hosts_report = denied;
    fake.answers = {"<p>BEGIN</p>\r\n<p>h&nbsp;1.2.3.4</p>\r\n<p>END</p>"};
    UpdateCycle cycle(fake, fake, kAscii);
    EXPECT_EQ(RunCycle(cycle, fake, {true, u"d", Password::Typed(u"p")}),
              UpdateResult::kAccountNotConfirmed);
    ASSERT_NE(cycle.LastReport().Taken(), nullptr);
    EXPECT_FALSE(cycle.LastReport().Taken()->confirmed);
    EXPECT_EQ(cycle.LastReport().Taken()->hosts, denied);
  }
  // Outcomes that leave the hosts file as meant are successes.
  for (const HostsStep fine :
       {HostsStep::kWritten, HostsStep::kUnchanged, HostsStep::kNotTouched}) {
    Fake fake;
    fake.hosts_report = HostsOutcome::Done(fine);
    fake.answers = {kHostsBody};
    UpdateCycle cycle(fake, fake, kAscii);
    EXPECT_EQ(RunCycle(cycle, fake, {}), UpdateResult::kNoFailure);
  }
  // No answer, no hosts step: the report says so.
  Fake fake;
  UpdateCycle cycle(fake, fake, kAscii);
  EXPECT_EQ(RunCycle(cycle, fake, {}), UpdateResult::kTransferFailed);
  EXPECT_FALSE(cycle.LastReport().Answered());
  EXPECT_EQ(cycle.LastReport().Hosts(), nullptr);
  EXPECT_EQ(RunCycle(cycle, fake, {true, u"d", Password::Typed(u"\x4E2D")}),
            UpdateResult::kAccountNotConfirmed);
  EXPECT_FALSE(cycle.LastReport().AccountSent());
  EXPECT_EQ(cycle.LastReport().Route(), nullptr) << "nothing went out";
}

TEST(UpdateCycle, ThreeFailedAttemptsTouchNothing) {
  Fake fake;
  fake.answers = {kHostsBody};
  UpdateCycle cycle(fake, fake, kAscii);
  ASSERT_EQ(RunCycle(cycle, fake, {}), UpdateResult::kNoFailure);
  fake.answers = {std::nullopt, std::nullopt, std::nullopt, "<p>BEGIN</p>\r\n"};
  EXPECT_EQ(RunCycle(cycle, fake, {}), UpdateResult::kTransferFailed);
  EXPECT_EQ(fake.paths.size(), 4u);  // one, then three attempts, same path
  ASSERT_NE(cycle.LastReport().Unanswered(), nullptr);
  EXPECT_EQ(cycle.LastReport().Unanswered()->transfer, kNoAnswer);  // the last attempt's failure
  EXPECT_EQ(fake.writes.size(), 1u);
}

TEST(UpdateCycle, FailureThenSuccessStaysTwoButReadsTheList) {
  Fake fake;
  fake.answers = {std::nullopt, kHostsBody};
  UpdateCycle cycle(fake, fake, kAscii);
  EXPECT_EQ(RunCycle(cycle, fake, {true, u"d", Password::Typed(u"p")}),
            UpdateResult::kTransferFailed);
  EXPECT_EQ(fake.paths.size(), 2u);
  ASSERT_NE(cycle.LastReport().Taken(), nullptr);  // decided by the attempt that was answered
  EXPECT_TRUE(cycle.LastReport().Taken()->after_failures);
  ASSERT_EQ(fake.writes.size(), 1u);
  EXPECT_EQ(fake.writes[0].size(), 2u);
}

// The attempts decide the one ending the report holds: a taken answer ends the cycle; else the
// latest refused answer, even with attempts after it that got none; else the last attempt's
// failure.
TEST(UpdateCycle, TheAttemptsMakeOneEnding) {
  const std::optional<std::string> none;
  const std::optional<std::string> refused = kRefusedAnswer;
  const std::optional<std::string> taken = kHostsBody;
  struct Case {
    std::deque<std::optional<std::string>> answers;
    std::size_t ending;  // the index in CycleReport::ending
    UpdateResult result;
    std::size_t requests;
  };
  const Case cases[] = {
      {{taken}, 2, UpdateResult::kNoFailure, 1},
      {{none, none, taken}, 2, UpdateResult::kTransferFailed, 3},
      {{refused, taken}, 2, UpdateResult::kTransferFailed, 2},
      {{none, none, none}, 0, UpdateResult::kTransferFailed, 3},
      {{refused, none, none}, 1, UpdateResult::kTransferFailed, 3},
      {{none, refused, none}, 1, UpdateResult::kTransferFailed, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
    Fake fake;
    fake.answers = c.answers;
    UpdateCycle cycle(fake, fake, kAscii);
    EXPECT_EQ(RunCycle(cycle, fake, {}), c.result);
    EXPECT_EQ(cycle.LastReport().ending.index(), c.ending);
    EXPECT_EQ(cycle.LastReport().Result(), c.result);
    EXPECT_EQ(fake.paths.size(), c.requests);
    EXPECT_EQ(fake.writes.size(), c.ending == 2 ? 1u : 0u);
  }
}

TEST(UpdateCycle, UpdatingSwitchedOffDuringTheWaitNeedsNoConfirmation) {
  Fake fake;
  fake.during_get = [&] { fake.account.updating_enabled = false; };
  fake.answers = {"<p>BEGIN</p>\r\n<p>END</p>"};
  UpdateCycle cycle(fake, fake, kAscii);
  EXPECT_EQ(RunCycle(cycle, fake, {true, u"d", Password::Typed(u"p")}), UpdateResult::kNoFailure);
  EXPECT_NE(fake.paths[0].find("?domain=d&pwd="), std::string::npos);
}

TEST(UpdateCycle, UnsendableAccountMakesNoRequest) {
  Fake fake;
  fake.answers = {kHostsBody};
  UpdateCycle cycle(fake, fake, kAscii);
  EXPECT_EQ(RunCycle(cycle, fake, {true, u"d", Password::Typed(u"\x4E2D")}),
            UpdateResult::kAccountNotConfirmed);
  EXPECT_TRUE(fake.paths.empty());
  EXPECT_TRUE(fake.writes.empty());
}

TEST(UpdateCycle, OneAtATimeAndNothingWrittenOnceEnded) {
  Fake fake;
  UpdateCycle cycle(fake, fake, kAscii);
  std::optional<std::optional<UpdateResult>> nested;
  std::optional<HostsOutcome> cleared;
  fake.during_get = [&] {
    if (!nested) nested = RunCycle(cycle, fake, {});
    cleared = cycle.EndAndClearSection();  // the window is closed while the first cycle waits
  };
  fake.answers = {kHostsBody};
  RunCycle(cycle, fake, {});
  ASSERT_TRUE(nested.has_value());
  EXPECT_EQ(*nested, std::nullopt);  // the nested request was not started
  EXPECT_EQ(fake.paths.size(), 1u);  // and the ended cycle made no further attempt
  EXPECT_TRUE(fake.writes.empty());  // nor wrote the hosts file
  EXPECT_EQ(fake.cancels, 1) << "the waiting transfer is ended";
  EXPECT_EQ(fake.clears, 1);
  EXPECT_EQ(cleared, HostsOutcome::Done(HostsStep::kWritten));
  EXPECT_FALSE(cycle.Running());
  EXPECT_EQ(RunCycle(cycle, fake, {}), std::nullopt) << "no cycle starts after the end";
  EXPECT_EQ(fake.paths.size(), 1u);
}

}  // namespace
}  // namespace kalvane
