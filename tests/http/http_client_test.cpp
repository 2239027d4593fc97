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
    EXPECT_EQ(got->text, kResponse);
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
    EXPECT_TRUE(rig.client.Get("/p"));
  }
  {
    Rig rig;
    const std::string longer = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef";
    rig.ConnectsThenAnswers({longer});
    const Result<HttpAnswer> got = rig.client.Get("/p");
    ASSERT_TRUE(got);
    EXPECT_EQ(got->text, longer);  // the surplus stays
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
  EXPECT_EQ(again->text, kResponse);
}

}  // namespace
}  // namespace kalvane
