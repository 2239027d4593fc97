#include "sync/update_cycle.h"

#include <gtest/gtest.h>

#include <deque>

#include "md5_reference.h"
#include "sync/response_body.h"

namespace kalvane {
namespace {

const std::string kHostsBody =
    "<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>host1&nbsp;10.0.0.1</p>\r\n<p>host2&nbsp;10.0.0.2</p>\r\n"
    "<p>END</p>";

std::string Response(const std::string& body, const std::string& headers = "") {
  return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

// A window stand-in: each HttpGet takes the next scripted answer (nothing = a failed attempt).
class FakeWindow final : public UpdateCycleHost {
 public:
  bool HttpGet(std::string_view path) override {
    paths.emplace_back(path);
    if (during_get) during_get();
    if (answers.empty()) return false;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    if (!answer) return false;
    response = *answer;
    return true;
  }
  const std::string& ResponseText() const override { return response; }
  bool UpdatingEnabled() const override { return updating_enabled; }
  bool Closing() const override { return closing; }
  HostsStepReport WriteHostsSection(const DomainList& domains) override {
    writes.push_back(domains);
    return hosts_report;
  }

  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> paths;
  std::vector<DomainList> writes;
  std::function<void()> during_get;
  std::string response;
  bool updating_enabled = false;
  bool closing = false;
  HostsStepReport hosts_report{HostsOutcome::kWritten, 0, 2};
};

// The digest text the product would send for an ASCII password.
std::string Md5(std::string_view text) { return testing::OpenSslDigestText(text); }

RequestEncoding AsciiEncoding() {
  RequestEncoding encoding;
  encoding.encode_text = [](std::u16string_view text) -> std::optional<std::string> {
    std::string bytes;
    for (char16_t c : text) {
      if (c > 0x7F) return std::nullopt;
      bytes.push_back(static_cast<char>(c));
    }
    return bytes;
  };
  encoding.digest_password = [](std::u16string_view text) -> std::optional<std::string> {
    if (text.find(u'\x4E2D') != std::u16string_view::npos) return std::nullopt;
    return Md5(std::string(text.begin(), text.end()));
  };
  return encoding;
}

TEST(RequestPath, BothFormsTrimOnlyTheDomainAndEscapeNothing) {
  const RequestEncoding enc = AsciiEncoding();
  EXPECT_EQ(BuildRequestPath({false, u"ignored", u"ignored", false}, enc),
            "/kalvanedns/getdomain.asp");
  EXPECT_EQ(BuildRequestPath({true, u"  my domain.com  ", u" pw ", false}, enc),
            "/kalvanedns/getdomain.asp?domain=my domain.com&pwd=" + Md5(" pw "));
  EXPECT_EQ(BuildRequestPath({true, u"d", u"0123456789ABCDEF0123456789ABCDEF", true}, enc),
            "/kalvanedns/getdomain.asp?domain=d&pwd=0123456789ABCDEF0123456789ABCDEF");
  EXPECT_EQ(BuildRequestPath({true, u"", u"", false}, enc),
            "/kalvanedns/getdomain.asp?domain=&pwd=" + Md5(""));
  // Values that cannot be converted, or that would break the request line, send nothing.
  EXPECT_EQ(BuildRequestPath({true, u"d", u"\x4E2D", false}, enc), std::nullopt);
  EXPECT_EQ(BuildRequestPath({true, u"\x00E9", u"p", false}, enc), std::nullopt);
  EXPECT_EQ(BuildRequestPath({true, u"a\r\nHost: x", u"p", false}, enc), std::nullopt);
  EXPECT_EQ(BuildRequestPath({true, u"a\nb", u"p", true}, enc), std::nullopt);
}

// The flag says "digest" but the box holds something else (typed while the flag was wrongly kept,
// a digest in lower case, one character short or long): the box is digested, never sent as it is.
TEST(RequestPath, APasswordFlaggedAsDigestThatIsNoDigestTextIsDigested) {
  const RequestEncoding enc = AsciiEncoding();
  const std::string prefix = "/kalvanedns/getdomain.asp?domain=d&pwd=";
  for (const std::u16string_view box :
       {std::u16string_view(u"typed in clear"), std::u16string_view(u""),
        std::u16string_view(u"0123456789abcdef0123456789abcdef"),
        std::u16string_view(u"0123456789ABCDEF0123456789ABCDE"),
        std::u16string_view(u"0123456789ABCDEF0123456789ABCDEF0"),
        std::u16string_view(u"0123456789ABCDEF0123456789ABCDEG")}) {
    const std::string typed(box.begin(), box.end());
    EXPECT_EQ(BuildRequestPath({true, u"d", box, true}, enc), prefix + Md5(typed)) << typed;
  }
  // A digester that gives anything but a digest text sends nothing.
  RequestEncoding broken = enc;
  broken.digest_password = [](std::u16string_view) { return std::optional<std::string>("clear"); };
  EXPECT_EQ(BuildRequestPath({true, u"d", u"clear", false}, broken), std::nullopt);
  EXPECT_EQ(BuildRequestPath({true, u"d", u"clear", true}, broken), std::nullopt);
}

TEST(UpdateCycle, ResultsZeroOneAndTwo) {
  {
    FakeWindow window;
    window.updating_enabled = true;
    window.answers = {Response(kHostsBody)};
    UpdateCycle cycle(window);
    EXPECT_EQ(cycle.UpdateDomains({true, u"d", u"p", false}, AsciiEncoding()),
              UpdateResult::kNoFailure);
    ASSERT_EQ(cycle.Domains().size(), 2u);
    EXPECT_EQ(cycle.Domains()[1], (DomainMapping{"host2", "10.0.0.2"}));
    EXPECT_EQ(window.writes.size(), 1u);
  }
  {
    FakeWindow window;  // account checked, body without "<p>OK</p>": 1, list still written
    window.updating_enabled = true;
    window.answers = {Response("<p>BEGIN</p>\r\n<p>h&nbsp;1.2.3.4</p>\r\n<p>END</p>")};
    UpdateCycle cycle(window);
    EXPECT_EQ(cycle.UpdateDomains({true, u"d", u"p", false}, AsciiEncoding()),
              UpdateResult::kAccountNotConfirmed);
    EXPECT_EQ(window.writes.size(), 1u);
    EXPECT_EQ(cycle.Domains().size(), 1u);
  }
  {
    FakeWindow window;  // updating off: never 1
    window.answers = {Response("<p>BEGIN</p>\r\n<p>h&nbsp;1.2.3.4</p>\r\n")};
    UpdateCycle cycle(window);
    EXPECT_EQ(cycle.UpdateDomains({}, AsciiEncoding()), UpdateResult::kNoFailure);
    EXPECT_EQ(window.paths, std::vector<std::string>{"/kalvanedns/getdomain.asp"});
  }
}

// Rows that could not be put into the hosts file are no success; an unconfirmed account stays the
// first thing to mend and keeps its result, with the hosts failure in the report.
TEST(UpdateCycle, AHostsStepThatFailsEndsAsAFailureUnlessTheAccountIsUnconfirmed) {
  const HostsStepReport denied{HostsOutcome::kReplaceFailed, 5, 0};
  {
    FakeWindow window;
    window.updating_enabled = true;
    window.hosts_report = denied;
    window.answers = {Response(kHostsBody)};
    UpdateCycle cycle(window);
    EXPECT_EQ(cycle.UpdateDomains({true, u"d", u"p", false}, AsciiEncoding()),
              UpdateResult::kTransferFailed);
    EXPECT_EQ(window.paths.size(), 1u) << "a hosts failure is not retried over the network";
    const CycleReport& report = cycle.LastReport();
    EXPECT_EQ(report.result, UpdateResult::kTransferFailed);
    EXPECT_TRUE(report.answered);
    EXPECT_TRUE(report.confirmed);
    EXPECT_EQ(report.hosts, denied);
  }
  {
    FakeWindow window;
    window.updating_enabled = true;
    window.hosts_report = denied;
    window.answers = {Response("<p>BEGIN</p>\r\n<p>h&nbsp;1.2.3.4</p>\r\n<p>END</p>")};
    UpdateCycle cycle(window);
    EXPECT_EQ(cycle.UpdateDomains({true, u"d", u"p", false}, AsciiEncoding()),
              UpdateResult::kAccountNotConfirmed);
    EXPECT_FALSE(cycle.LastReport().confirmed);
    EXPECT_EQ(cycle.LastReport().hosts, denied);
  }
  // Outcomes that leave the hosts file as meant are successes.
  for (const HostsOutcome fine :
       {HostsOutcome::kWritten, HostsOutcome::kUnchanged, HostsOutcome::kNotTouched}) {
    FakeWindow window;
    window.hosts_report = {fine, 0, 0};
    window.answers = {Response(kHostsBody)};
    UpdateCycle cycle(window);
    EXPECT_EQ(cycle.UpdateDomains({}, AsciiEncoding()), UpdateResult::kNoFailure);
  }
  // No answer, no hosts step: the report says so.
  FakeWindow window;
  UpdateCycle cycle(window);
  EXPECT_EQ(cycle.UpdateDomains({}, AsciiEncoding()), UpdateResult::kTransferFailed);
  EXPECT_FALSE(cycle.LastReport().answered);
  EXPECT_EQ(cycle.LastReport().hosts, std::nullopt);
  EXPECT_EQ(cycle.UpdateDomains({true, u"d", u"\x4E2D", false}, AsciiEncoding()),
            UpdateResult::kAccountNotConfirmed);
  EXPECT_FALSE(cycle.LastReport().account_sent);
}

TEST(UpdateCycle, ThreeFailedAttemptsKeepTheLastListAndTouchNothing) {
  FakeWindow window;
  window.answers = {Response(kHostsBody)};
  UpdateCycle cycle(window);
  ASSERT_EQ(cycle.UpdateDomains({}, AsciiEncoding()), UpdateResult::kNoFailure);
  window.answers = {std::nullopt, std::nullopt, std::nullopt, Response("<p>BEGIN</p>\r\n")};
  EXPECT_EQ(cycle.UpdateDomains({}, AsciiEncoding()), UpdateResult::kTransferFailed);
  EXPECT_EQ(window.paths.size(), 4u);  // one, then three attempts, same path
  EXPECT_EQ(cycle.Domains().size(), 2u);
  EXPECT_EQ(window.writes.size(), 1u);
}

TEST(UpdateCycle, FailureThenSuccessStaysTwoButReadsTheList) {
  FakeWindow window;
  window.updating_enabled = true;
  window.answers = {std::nullopt, Response(kHostsBody)};
  UpdateCycle cycle(window);
  EXPECT_EQ(cycle.UpdateDomains({true, u"d", u"p", false}, AsciiEncoding()),
            UpdateResult::kTransferFailed);
  EXPECT_EQ(window.paths.size(), 2u);
  EXPECT_EQ(cycle.Domains().size(), 2u);
  EXPECT_EQ(window.writes.size(), 1u);
}

TEST(UpdateCycle, ConfirmationIsSearchedInTheBodyWithCheck1ReadAfterTheWait) {
  {
    FakeWindow window;  // "<p>OK</p>" only in a header line does not count
    window.updating_enabled = true;
    window.answers = {Response("<p>BEGIN</p>\r\n<p>END</p>", "X-Note: <p>OK</p>\r\n")};
    UpdateCycle cycle(window);
    EXPECT_EQ(cycle.UpdateDomains({true, u"d", u"p", false}, AsciiEncoding()),
              UpdateResult::kAccountNotConfirmed);
  }
  {
    FakeWindow window;  // unticked while the cycle waited: the confirmation is not required
    window.updating_enabled = true;
    window.during_get = [&] { window.updating_enabled = false; };
    window.answers = {Response("<p>BEGIN</p>\r\n<p>END</p>")};
    UpdateCycle cycle(window);
    EXPECT_EQ(cycle.UpdateDomains({true, u"d", u"p", false}, AsciiEncoding()),
              UpdateResult::kNoFailure);
    EXPECT_NE(window.paths[0].find("?domain=d&pwd="), std::string::npos);
  }
}

TEST(UpdateCycle, UnsendableAccountMakesNoRequest) {
  FakeWindow window;
  window.answers = {Response(kHostsBody)};
  UpdateCycle cycle(window);
  EXPECT_EQ(cycle.UpdateDomains({true, u"d", u"\x4E2D", false}, AsciiEncoding()),
            UpdateResult::kAccountNotConfirmed);
  EXPECT_TRUE(window.paths.empty());
  EXPECT_TRUE(window.writes.empty());
}

TEST(UpdateCycle, OneAtATimeAndNothingWrittenOnceClosing) {
  FakeWindow window;
  UpdateCycle cycle(window);
  std::optional<std::optional<UpdateResult>> nested;
  window.during_get = [&] {
    if (!nested) nested = cycle.UpdateDomains({}, AsciiEncoding());
    window.closing = true;  // the window is closed while the first cycle waits
  };
  window.answers = {Response(kHostsBody)};
  cycle.UpdateDomains({}, AsciiEncoding());
  ASSERT_TRUE(nested.has_value());
  EXPECT_EQ(*nested, std::nullopt);    // the nested request was not started
  EXPECT_EQ(window.paths.size(), 1u);  // and the closing cycle made no further attempt
  EXPECT_TRUE(window.writes.empty());  // nor wrote the hosts file
  EXPECT_FALSE(cycle.Running());
}

TEST(ResponseBody, ReadsRowsAndSurvivesBrokenBodies) {
  EXPECT_EQ(ResponseBody("HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody\r\n\r\nmore"), "body\r\n\r\nmore");
  EXPECT_EQ(ResponseBody("no blank line"), "");

  EXPECT_EQ(ReadDomainList(kHostsBody), (DomainList{{"host1", "10.0.0.1"}, {"host2", "10.0.0.2"}}));
  EXPECT_TRUE(ReadDomainList("<p>BEGIN</p>\r\n<p>END</p>").empty());
  EXPECT_EQ(ReadDomainList("<p>BEGIN</p>\r\n<p>host6&nbsp;2001:db8::1</p>\r\n<p>END</p>"),
            (DomainList{{"host6", "2001:db8::1"}}));
  // The last row's line end and no end marker: every row.
  EXPECT_EQ(ReadDomainList("<p>BEGIN</p>\r\n<p>a&nbsp;1</p>\r\n<p>b&nbsp;2</p>\r\n").size(), 2u);
  // Spaces stay; nothing is checked or changed.
  EXPECT_EQ(ReadDomainList("<p>BEGIN</p>\r\n<p> a b &nbsp; 1 </p>\r\n")[0],
            (DomainMapping{" a b ", " 1 "}));
  // No begin marker, a row without "&nbsp;" or without "</p>": stop there, keep what came before.
  EXPECT_TRUE(ReadDomainList("<p>a&nbsp;1</p>\r\n<p>END</p>").empty());
  EXPECT_EQ(ReadDomainList("<p>BEGIN</p>\r\n<p>a&nbsp;1</p>\r\n<p>broken</p>\r\n<p>END</p>"),
            (DomainList{{"a", "1"}}));
  EXPECT_EQ(ReadDomainList("<p>BEGIN</p>\r\n<p>a&nbsp;1</p>\r\n<p>b&nbsp;2"),
            (DomainList{{"a", "1"}}));
  EXPECT_TRUE(ReadDomainList("<p>BEGIN</p>\r\n&nbsp;1</p>\r\n").empty());
  EXPECT_TRUE(ReadDomainList("<p>BEGIN</p>").empty());
  EXPECT_TRUE(ReadDomainList("").empty());
}

TEST(ResponseBody, ReadsLongListsWithoutA16BitLimit) {
  std::string body = "<p>BEGIN</p>\r\n";
  for (int i = 0; i < 40000; ++i) body += "<p>h" + std::to_string(i) + "&nbsp;10.0.0.1</p>\r\n";
  body += "<p>END</p>";
  const DomainList list = ReadDomainList(body);
  ASSERT_EQ(list.size(), 40000u);
  EXPECT_EQ(list.back().host, "h39999");
}

}  // namespace
}  // namespace kalvane
