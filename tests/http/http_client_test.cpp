#include "http/http_client.h"

#include <gtest/gtest.h>

#include <functional>

#include "http/response_completion.h"
#include "scripted_pump.h"

namespace kalvane {
namespace {

using namespace std::chrono_literals;
using testing::FakeSocket;
using testing::ScriptedPump;

const std::string kBody = "<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>host1&nbsp;10.0.0.1</p>\r\n<p>END</p>";
const std::string kResponse = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                              std::to_string(kBody.size()) + "\r\n\r\n" + kBody;
constexpr Status kRefused = Status::Failure(StatusKind::kFailed, 10061);

// A client whose socket connects 10 ms after Connect and then receives `pieces` 5 ms apart.
struct Rig {
  ScriptedPump pump;
  FakeSocket socket;
  HttpClient client{socket, pump, "dns.kalvane.example"};

  void ConnectsThenAnswers(std::vector<std::string> pieces) {
    socket.on_connect = [this] { pump.At(10ms, [this] { client.OnConnected(); }); };
    socket.on_send = [this, pieces] {
      auto delay = 5ms;
      for (const std::string& piece : pieces) {
        pump.At(delay, [this, piece] { client.OnData(piece); });
        delay += 5ms;
      }
    };
  }
};

std::vector<std::string> Split(const std::string& text, std::size_t piece) {
  std::vector<std::string> pieces;
  for (std::size_t i = 0; i < text.size(); i += piece) pieces.push_back(text.substr(i, piece));
  return pieces;
}

TEST(HttpClient, CompletesWholeAndInPiecesDownToOneByte) {
  for (std::size_t piece : {kResponse.size(), std::size_t{100}, std::size_t{7}, std::size_t{1}}) {
    Rig rig;
    rig.ConnectsThenAnswers(Split(kResponse, piece));
    const Result<HttpAnswer> got = rig.client.Get("/kalvanedns/getdomain.asp");
    ASSERT_TRUE(got) << piece;
    EXPECT_EQ(got->body, kBody);
    EXPECT_EQ(got->verdict, AnswerVerdict{});
    EXPECT_GE(rig.socket.closes, 2);  // closed before connecting and after completion
    ASSERT_EQ(rig.socket.sent.size(), 1u);
    // Completed on the arrival of the last piece: no waiting out the minute.
    EXPECT_LT(rig.pump.Elapsed(), 1min);
  }
}

TEST(HttpClient, SendsExactlyTheRequestLineHostLineAndBlankLine) {
  Rig rig;
  rig.ConnectsThenAnswers({kResponse});
  ASSERT_TRUE(rig.client.Get("/kalvanedns/getdomain.asp?domain= my domain &pwd=AB"));
  EXPECT_EQ(rig.socket.sent[0],
            "GET /kalvanedns/getdomain.asp?domain= my domain &pwd=AB HTTP/1.1\r\n"
            "Host: dns.kalvane.example\r\n\r\n");
  EXPECT_EQ(rig.socket.connected_host, "dns.kalvane.example") << "the Host line names the peer";
}

TEST(HttpClient, NeverSendsAPathOrHostThatCouldForgeRequestLines) {
  for (std::string path : {std::string("/a\r\nX-Evil: 1"), std::string("/a\nb"),
                           std::string("/a\0b", 4), std::string("/a\rb")}) {
    Rig rig;
    rig.ConnectsThenAnswers({kResponse});
    EXPECT_EQ(rig.client.Get(path).status(), StatusKind::kRejected);
    EXPECT_EQ(rig.socket.connects, 0);
    EXPECT_TRUE(rig.socket.sent.empty());
  }
  EXPECT_EQ(ComposeGetRequest("h\r\nX: 1", "/p").status(), StatusKind::kRejected);
}

TEST(HttpClient, ZeroLengthBodyAndSurplusBodyComplete) {
  {
    Rig rig;
    rig.ConnectsThenAnswers({"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"});
    const Result<HttpAnswer> got = rig.client.Get("/p");
    ASSERT_TRUE(got);
    EXPECT_EQ(got->body, "");
  }
  {
    Rig rig;
    rig.ConnectsThenAnswers({"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"});
    const Result<HttpAnswer> got = rig.client.Get("/p");
    ASSERT_TRUE(got);
    EXPECT_EQ(got->body, "abc");  // the surplus is no part of the answer
  }
}

// An answer is an answer: a refused one ends the transaction at once and says what came back.
TEST(HttpClient, ARefusedAnswerEndsTheWaitAtOnceAndSaysWhy) {
  using enum AnswerFault;
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kMaxResponseBytes) + "\r\n\r\n";
  const std::vector<std::pair<std::vector<std::string>, AnswerVerdict>> answers = {
      {{"HTTP/1.1 500 Internal Server Error\r\n"}, {kErrorStatus, 500}},
      {{"HTTP/1.1 404\r\nContent-Length: 0\r\n\r\n"}, {kErrorStatus, 404}},
      {{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"}, {kOtherVersion}},
      {{"HTTP/2 200\r\n"}, {kOtherVersion}},
      {{"http/1.1 200 OK\r\n"}, {kUnrecognised}},
      {{"HTTP/1.1 200 Fine\r\n"}, {kUnrecognised}},
      {{"SSH-2.0-x\r\n"}, {kUnrecognised}},
      {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nok"}, {kNoLength}},
      {{head, std::string(kMaxResponseBytes, 'a')}, {kTooLarge}},  // over the cap
      {{"HTTP/1.1 200 OK\r\n", "X-Filler: " + std::string(kMaxHeaderBytes, 'x')}, {kTooLarge}},
  };
  for (const auto& [answer, verdict] : answers) {
    Rig rig;
    rig.ConnectsThenAnswers(answer);
    const Result<HttpAnswer> got = rig.client.Get("/p");
    ASSERT_TRUE(got) << answer[0];
    EXPECT_EQ(got->verdict, verdict) << answer[0];
    EXPECT_LT(rig.pump.Elapsed(), 1s) << answer[0];  // no waiting for the time-out
    EXPECT_EQ(rig.socket.closes, 3) << "before connecting, on the verdict and at the end";
  }
}

TEST(HttpClient, StatusLineSplitAcrossArrivalsStillCompletes) {
  Rig rig;
  rig.ConnectsThenAnswers({"HTTP/1.1 2", "00 O", "K\r\nContent-Length: 2\r\n\r", "\nok"});
  EXPECT_TRUE(rig.client.Get("/p"));
}

TEST(HttpClient, PeerClosingEarlyIsReportedAsBrokenOffAfterTheResponseWait) {
  Rig rig;
  rig.ConnectsThenAnswers({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"});
  rig.pump.At(1s, [&] { rig.client.OnClosed(); });
  rig.pump.At(2s, [&] { rig.client.OnData("defghijklm"); });  // stale: the socket is gone
  EXPECT_EQ(rig.client.Get("/p").status(), StatusKind::kBrokenOff);
  EXPECT_GE(rig.pump.Elapsed(), 1min);
  EXPECT_LT(rig.pump.Elapsed(), 1min + 1s);
}

// The transport reports an error while connecting once every address has failed: no reason to
// wait any longer.
TEST(HttpClient, AConnectionNoAddressTookEndsAtOnceWithItsError) {
  for (Status failure : {kRefused, Status::Failure(StatusKind::kNotFound, 11001)}) {
    Rig rig;
    rig.socket.on_connect = [&] { rig.pump.At(5ms, [&] { rig.client.OnError(failure); }); };
    EXPECT_EQ(rig.client.Get("/p").status(), failure);
    EXPECT_EQ(rig.pump.Elapsed(), 5ms);
    EXPECT_TRUE(rig.socket.sent.empty());
  }
}

TEST(HttpClient, SilentNetworkWaitsItsMinuteToConnectWithoutSpinning) {
  Rig rig;
  EXPECT_EQ(rig.client.Get("/p").status(), StatusKind::kTimedOut);
  EXPECT_EQ(rig.pump.Elapsed(), 1min);
  EXPECT_LE(rig.pump.PumpCalls(), 2);
}

// After a connection that took the request and gave no complete answer, the next Get asks for
// another address first; any answer, or no connection at all, goes back to the resolver's order.
TEST(HttpClient, TheNextConnectionAvoidsAnAddressThatGaveNoAnswer) {
  constexpr auto kOrder = FirstAddress::kResolverOrder, kOther = FirstAddress::kAnotherThanLast;
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n";
  const struct {
    const char* name;
    std::function<void(Rig&)> script;
    FirstAddress next;
  } cases[] = {
      {"answered", [](Rig& rig) { rig.ConnectsThenAnswers({kResponse}); }, kOrder},
      {"silent", [](Rig& rig) { rig.ConnectsThenAnswers({}); }, kOther},
      {"half an answer", [&](Rig& rig) { rig.ConnectsThenAnswers({head + "abc"}); }, kOther},
      {"broke off",
       [&](Rig& rig) {
         rig.ConnectsThenAnswers({head});
         rig.pump.At(1s, [&rig] { rig.client.OnClosed(); });
       },
       kOther},
      {"reset",
       [&](Rig& rig) {
         rig.ConnectsThenAnswers({head});
         rig.pump.At(1s, [&rig] { rig.client.OnError(Status::Failure(StatusKind::kFailed, 1)); });
       },
       kOther},
      {"refused answer", [](Rig& rig) { rig.ConnectsThenAnswers({"HTTP/1.1 500 No\r\n"}); },
       kOrder},
      {"no connection",
       [](Rig& rig) {
         rig.socket.on_connect = [&rig] {
           rig.pump.At(5ms, [&rig] { rig.client.OnError(kRefused); });
         };
       },
       kOrder},
  };
  for (const auto& c : cases) {
    Rig rig;
    c.script(rig);
    (void)rig.client.Get("/p");
    rig.socket.on_connect = nullptr;
    (void)rig.client.Get("/p");
    EXPECT_EQ(rig.socket.firsts, (std::vector<FirstAddress>{kOrder, c.next})) << c.name;
  }
}

TEST(HttpClient, ABrokenConnectionReportsItsError) {
  Rig rig;
  rig.ConnectsThenAnswers({"HTTP/1.1 200 OK\r\n"});
  rig.pump.At(1s, [&] { rig.client.OnError(Status::Failure(StatusKind::kFailed, 10054)); });
  EXPECT_EQ(rig.client.Get("/p").status(), Status::Failure(StatusKind::kFailed, 10054));
}

TEST(HttpClient, ServerThatNeverAnswersTimesOutAMinuteAfterSending) {
  Rig rig;
  rig.ConnectsThenAnswers({});
  EXPECT_EQ(rig.client.Get("/p").status(), StatusKind::kTimedOut);
  EXPECT_GE(rig.pump.Elapsed(), 1min + 10ms);  // connect took 10 ms, then a full minute
  EXPECT_LT(rig.pump.Elapsed(), 1min + 1s);
  EXPECT_EQ(rig.socket.sent.size(), 1u);
}

TEST(HttpClient, CancelOrQuitEndsTheWaitAtOnceAndForGood) {
  {
    Rig rig;
    rig.ConnectsThenAnswers({});
    rig.pump.At(2s, [&] { rig.client.Cancel(); });
    EXPECT_EQ(rig.client.Get("/p").status(), StatusKind::kCancelled);
    EXPECT_LT(rig.pump.Elapsed(), 3s);
    EXPECT_EQ(rig.client.Get("/p").status(), StatusKind::kCancelled);  // no further transaction
    EXPECT_EQ(rig.socket.connects, 1);
  }
  {
    Rig rig;
    rig.ConnectsThenAnswers({});
    rig.pump.QuitAt(2s);
    EXPECT_EQ(rig.client.Get("/p").status(), StatusKind::kCancelled);
    EXPECT_LT(rig.pump.Elapsed(), 3s);
    EXPECT_EQ(rig.client.Get("/p").status(), StatusKind::kCancelled);
    EXPECT_EQ(rig.socket.connects, 1);
  }
}

TEST(HttpClient, NestedTransactionIsRefusedAndLateEventsAreIgnored) {
  Rig rig;
  rig.ConnectsThenAnswers({kResponse});
  Status nested;
  rig.socket.on_send = [&] {
    nested = rig.client.Get("/nested").status();
    rig.pump.At(5ms, [&] { rig.client.OnData(kResponse); });
  };
  ASSERT_TRUE(rig.client.Get("/p"));
  EXPECT_FALSE(nested.ok());
  EXPECT_EQ(rig.socket.connects, 1);
  // After the transaction, stray events change nothing: the next one starts afresh.
  rig.client.OnConnected();
  rig.client.OnData("garbage");
  rig.ConnectsThenAnswers({kResponse});
  const Result<HttpAnswer> again = rig.client.Get("/p");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->body, kBody);
}

// Through a proxy: its behaviour per connection to it, the service's answer when direct.
struct FixedChoice final : ProxyChoice {
  std::vector<ProxyServer> ProxiesForService(std::string_view host) override {
    asked_for = host;
    return proxies;
  }
  void OnProxyFailed(const ProxyServer& proxy) override { failed.push_back(proxy); }
  void Cancel() override {}
  std::vector<ProxyServer> proxies{{"proxy.corp", 8080}};
  std::vector<ProxyServer> failed;
  std::string asked_for;
};

// Tokens "t1", "t2", ... for whatever the proxy sent, which is kept.
struct FakePackages final : SecurityPackages {
  struct Context final : SecurityContext {
    explicit Context(FakePackages& owner) : owner(owner) {}
    Result<std::string> Next(std::string_view proxy_token) override {
      owner.proxy_tokens.emplace_back(proxy_token);
      if (owner.refuse) return Status::Failure(StatusKind::kFailed, 0x8009030E);
      return "t" + std::to_string(owner.proxy_tokens.size());
    }
    FakePackages& owner;
  };
  std::unique_ptr<SecurityContext> Begin(std::string_view scheme, std::string_view) override {
    schemes.emplace_back(scheme);
    return std::make_unique<Context>(*this);
  }
  std::vector<std::string> schemes;
  std::vector<std::string> proxy_tokens;
  bool refuse = false;
};

struct ProxyRig : Rig {
  ProxyRig() {
    client.UseProxies(choice, packages);
    socket.on_connect = [this] {
      if (socket.connected_host != "proxy.corp") {
        pump.At(10ms, [this] { client.OnConnected(); });
      } else if (proxy_connects) {
        pump.At(10ms, [this] { client.OnConnected(); });
      } else if (proxy_refuses) {
        pump.At(10ms, [this] { client.OnError(kRefused); });
      }
    };
    socket.on_send = [this] {
      const bool direct = socket.connected_host != "proxy.corp";
      const std::size_t round = socket.sent.size() - 1;
      const std::string answer = direct                         ? kResponse
                                 : round < proxy_answers.size() ? proxy_answers[round]
                                                                : proxy_answers.back();
      if (!answer.empty()) pump.At(5ms, [this, answer] { client.OnData(answer); });
      if (!direct && proxy_closes) pump.At(6ms, [this] { client.OnClosed(); });
    };
  }
  FixedChoice choice;
  FakePackages packages;
  bool proxy_connects = true;
  bool proxy_refuses = true;  // when it does not connect; otherwise silent
  bool proxy_closes = false;
  std::vector<std::string> proxy_answers{kResponse};
};

std::string Ask407(const std::string& headers) {
  return "HTTP/1.1 407 Proxy Authentication Required\r\n" + headers + "Content-Length: 2\r\n\r\nno";
}

TEST(HttpClient, ThroughAProxyTheRequestNamesTheWholeUrlAndAFailingProxyGivesWayToDirect) {
  const struct {
    const char* name;
    std::function<void(ProxyRig&)> script;
    bool via_proxy;
    std::chrono::milliseconds before_direct;
    bool wants_credentials = false;
  } cases[] = {
      {"answers", [](ProxyRig&) {}, true, 0ms},
      {"refuses", [](ProxyRig& rig) { rig.proxy_connects = false; }, false, 10ms},
      {"silent", [](ProxyRig& rig) { rig.proxy_connects = rig.proxy_refuses = false; }, false,
       kProxyConnectTimeout},
      {"garbage", [](ProxyRig& rig) { rig.proxy_answers = {"\x16\x03\x01garbage"}; }, false, 15ms},
      {"closes at once",
       [](ProxyRig& rig) {
         rig.proxy_answers = {""};
         rig.proxy_closes = true;
       },
       false, 16ms},
      {"Basic only",
       [](ProxyRig& rig) {
         rig.proxy_answers = {Ask407("Proxy-Authenticate: Basic realm=\"x\"\r\n")};
       },
       false, 15ms, true},
      {"407 without scheme", [](ProxyRig& rig) { rig.proxy_answers = {Ask407("")}; }, false, 15ms,
       true},
  };
  for (const auto& c : cases) {
    ProxyRig rig;
    c.script(rig);
    const Result<HttpAnswer> got = rig.client.Get("/p?domain=a&pwd=0A");
    ASSERT_TRUE(got) << c.name;
    if (rig.proxy_connects) {
      EXPECT_EQ(rig.socket.sent[0],
                "GET http://dns.kalvane.example/p?domain=a&pwd=0A HTTP/1.1\r\n"
                "Host: dns.kalvane.example\r\n\r\n")
          << c.name;
    }
    EXPECT_EQ(rig.choice.asked_for, "dns.kalvane.example") << "the proxies for the client's host";
    const FetchRoute route = rig.client.LastRoute();
    EXPECT_EQ(route.proxy.has_value(), c.via_proxy) << c.name;
    EXPECT_EQ(route.failed_proxy.has_value(), !c.via_proxy) << c.name;
    EXPECT_EQ(route.proxy_wants_credentials, c.wants_credentials) << c.name;
    EXPECT_EQ(rig.choice.failed.size(), c.via_proxy ? 0u : 1u) << c.name;
    if (!c.via_proxy) {
      EXPECT_EQ(rig.socket.connected_host, "dns.kalvane.example") << c.name;
      EXPECT_EQ(rig.socket.connected_port, kServicePort) << c.name;
      EXPECT_EQ(rig.socket.sent.back(),
                "GET /p?domain=a&pwd=0A HTTP/1.1\r\nHost: dns.kalvane.example\r\n\r\n");
      EXPECT_EQ(rig.pump.Elapsed(), c.before_direct + 15ms) << c.name;
    }
  }
}

TEST(HttpClient, AProxysNtlmChallengeIsAnsweredOnTheSameConnectionWithinBoundedRounds) {
  ProxyRig rig;
  rig.proxy_answers = {
      Ask407("Proxy-Authenticate: Basic realm=\"x\"\r\nProxy-Authenticate: NTLM\r\n"),
      Ask407("Proxy-Authenticate: NTLM Y2hhbGxlbmdl\r\n"), kResponse};
  ASSERT_TRUE(rig.client.Get("/p"));
  EXPECT_EQ(rig.socket.connects, 1);
  ASSERT_EQ(rig.socket.sent.size(), 3u);
  EXPECT_NE(rig.socket.sent[1].find("\r\nProxy-Authorization: NTLM dDE=\r\n\r\n"),
            std::string::npos);
  EXPECT_NE(rig.socket.sent[2].find("\r\nProxy-Authorization: NTLM dDI=\r\n\r\n"),
            std::string::npos);
  EXPECT_EQ(rig.packages.proxy_tokens, (std::vector<std::string>{"", "challenge"}));
  EXPECT_TRUE(rig.client.LastRoute().proxy);

  // Negotiate first; a proxy that keeps asking, or credentials refused, or a package that
  // refuses, ends the proxy's turn: the same Get goes direct.
  const struct {
    const char* name;
    std::vector<std::string> answers;
    bool refuse;
    std::size_t proxy_requests;
  } failures[] = {
      {"keeps asking",
       {Ask407("Proxy-Authenticate: NTLM\r\nProxy-Authenticate: Negotiate YQ==\r\n"),
        Ask407("Proxy-Authenticate: Negotiate YQ==\r\n")},
       false,
       kMaxAuthRounds + 1},
      {"credentials refused",
       {Ask407("Proxy-Authenticate: Negotiate\r\n"), Ask407("Proxy-Authenticate: Negotiate\r\n")},
       false,
       2},
      {"token no base64", {Ask407("Proxy-Authenticate: NTLM ab$d\r\n")}, false, 1},
      {"package refuses", {Ask407("Proxy-Authenticate: NTLM\r\n")}, true, 1},
  };
  for (const auto& f : failures) {
    ProxyRig rig;
    rig.proxy_answers = f.answers;
    rig.packages.refuse = f.refuse;
    ASSERT_TRUE(rig.client.Get("/p")) << f.name;
    EXPECT_EQ(rig.socket.sent.size(), f.proxy_requests + 1) << f.name;
    EXPECT_TRUE(rig.client.LastRoute().proxy_wants_credentials) << f.name;
  }
  ProxyRig negotiate;
  negotiate.proxy_answers = failures[0].answers;
  (void)negotiate.client.Get("/p");
  EXPECT_EQ(negotiate.packages.schemes, (std::vector<std::string>{"Negotiate"}));
}

}  // namespace
}  // namespace kalvane
