#include "http/http_client.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(rig.client.HttpGet("/kalvanedns/getdomain.asp")) << piece;
    EXPECT_EQ(rig.client.ResponseText(), kResponse);
    EXPECT_FALSE(rig.client.SocketConnected());
    EXPECT_GE(rig.socket.closes, 2);  // closed before connecting and after completion
    ASSERT_EQ(rig.socket.sent.size(), 1u);
    // Completed on the arrival of the last piece: no waiting out the minute.
    EXPECT_LT(rig.pump.Elapsed(), 1min);
  }
}

TEST(HttpClient, SendsExactlyTheRequestLineHostLineAndBlankLine) {
  Rig rig;
  rig.ConnectsThenAnswers({kResponse});
  ASSERT_TRUE(rig.client.HttpGet("/kalvanedns/getdomain.asp?domain= my domain &pwd=AB"));
  EXPECT_EQ(rig.socket.sent[0],
            "GET /kalvanedns/getdomain.asp?domain= my domain &pwd=AB HTTP/1.1\r\n"
            "Host: dns.kalvane.example\r\n\r\n");
  EXPECT_EQ(rig.socket.connected_host, "dns.kalvane.example") << "the Host line names the peer";
  EXPECT_EQ(ComposeGetRequest("h", "/kalvanedns/getdomain.asp"),
            "GET /kalvanedns/getdomain.asp HTTP/1.1\r\nHost: h\r\n\r\n");
}

TEST(HttpClient, NeverSendsAPathThatCouldForgeRequestLines) {
  for (std::string path : {std::string("/a\r\nX-Evil: 1"), std::string("/a\nb"),
                           std::string("/a\0b", 4), std::string("/a\rb")}) {
    Rig rig;
    rig.ConnectsThenAnswers({kResponse});
    EXPECT_FALSE(rig.client.HttpGet(path));
    EXPECT_EQ(rig.socket.connects, 0);
    EXPECT_TRUE(rig.socket.sent.empty());
  }
}

TEST(HttpClient, ZeroLengthBodyAndSurplusBodyComplete) {
  {
    Rig rig;
    rig.ConnectsThenAnswers({"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"});
    EXPECT_TRUE(rig.client.HttpGet("/p"));
  }
  {
    Rig rig;
    const std::string longer = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef";
    rig.ConnectsThenAnswers({longer});
    EXPECT_TRUE(rig.client.HttpGet("/p"));
    EXPECT_EQ(rig.client.ResponseText(), longer);  // the surplus stays
  }
}

TEST(HttpClient, OtherStatusOrVersionIsRejectedAtOnce) {
  for (std::string first : {"HTTP/1.1 500 Internal Server Error\r\n", "HTTP/1.0 200 OK\r\n",
                            "HTTP/1.1 404", "X", "http/1.1 200 OK\r\n"}) {
    Rig rig;
    rig.ConnectsThenAnswers({first});
    EXPECT_FALSE(rig.client.HttpGet("/p")) << first;
    EXPECT_LT(rig.pump.Elapsed(), 1s) << first;  // no waiting for the time-out
    EXPECT_FALSE(rig.client.SocketConnected());
  }
}

TEST(HttpClient, StatusLineSplitAcrossArrivalsStillCompletes) {
  Rig rig;
  rig.ConnectsThenAnswers({"HTTP/1.1 2", "00 O", "K\r\nContent-Length: 2\r\n\r", "\nok"});
  EXPECT_TRUE(rig.client.HttpGet("/p"));
}

TEST(HttpClient, ContentLengthNameInAnyCaseWithOptionalSpaces) {
  for (std::string header :
       {"content-length: 2", "CONTENT-LENGTH:2", "Content-Length:   2  ", "Content-length:\t2"}) {
    Rig rig;
    rig.ConnectsThenAnswers({"HTTP/1.1 200 OK\r\n" + header + "\r\n\r\nok"});
    EXPECT_TRUE(rig.client.HttpGet("/p")) << header;
  }
}

TEST(HttpClient, HeaderBlockWithoutUsableLengthIsRejectedAtOnce) {
  for (std::string headers : {"Server: x\r\n", "Content-Length: abc\r\n", "Content-Length: \r\n",
                              "Content-Length: -1\r\n", "Content-Length: 99999999999999999999\r\n",
                              "Transfer-Encoding: chunked\r\n", "X-Content-Length: 2\r\n"}) {
    Rig rig;
    rig.ConnectsThenAnswers({"HTTP/1.1 200 OK\r\n" + headers + "\r\nok"});
    EXPECT_FALSE(rig.client.HttpGet("/p")) << headers;
    EXPECT_LT(rig.pump.Elapsed(), 1s) << headers;
  }
}

TEST(HttpClient, BodyIsCountedOnlyAfterTheWholeHeaderBlock) {
  // The length line has come but the blank line has not: 100 bytes of further headers do not
  // complete a 3-byte body.
  Rig rig;
  rig.ConnectsThenAnswers(
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n", "X-Padding: " + std::string(100, 'x')});
  EXPECT_FALSE(rig.client.HttpGet("/p"));
  EXPECT_GE(rig.pump.Elapsed(), 1min);
}

TEST(HttpClient, ResponseOverTheCapIsRejected) {
  Rig rig;
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kMaxResponseBytes) + "\r\n\r\n";
  rig.ConnectsThenAnswers({head, std::string(kMaxResponseBytes, 'a')});
  EXPECT_FALSE(rig.client.HttpGet("/p"));
  EXPECT_LT(rig.pump.Elapsed(), 1s);
  EXPECT_LE(rig.client.ResponseText().size(), kMaxResponseBytes);
}

TEST(HttpClient, HeaderBlockThatNeverEndsIsRejected) {
  Rig rig;
  rig.ConnectsThenAnswers(
      {"HTTP/1.1 200 OK\r\n", "X-Filler: " + std::string(kMaxHeaderBytes, 'x')});
  EXPECT_FALSE(rig.client.HttpGet("/p"));
  EXPECT_LT(rig.pump.Elapsed(), 1s);
}

TEST(HttpClient, PeerClosingEarlyFailsAfterTheResponseWait) {
  Rig rig;
  rig.ConnectsThenAnswers({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"});
  rig.pump.At(1s, [&] { rig.client.OnClosed(); });
  EXPECT_FALSE(rig.client.HttpGet("/p"));
  EXPECT_GE(rig.pump.Elapsed(), 1min);
  EXPECT_LT(rig.pump.Elapsed(), 1min + 1s);
}

TEST(HttpClient, RefusedConnectionFailsOnlyAfterTheFullMinuteWithoutSpinning) {
  Rig rig;
  rig.socket.on_connect = [&] { rig.pump.At(5ms, [&] { rig.client.OnError(); }); };
  EXPECT_FALSE(rig.client.HttpGet("/p"));
  EXPECT_GE(rig.pump.Elapsed(), 1min);
  EXPECT_TRUE(rig.socket.sent.empty());
  EXPECT_LE(rig.pump.PumpCalls(), 3);  // one event, then one sleep to the deadline
}

TEST(HttpClient, ServerThatNeverAnswersFailsAMinuteAfterSending) {
  Rig rig;
  rig.ConnectsThenAnswers({});
  EXPECT_FALSE(rig.client.HttpGet("/p"));
  EXPECT_GE(rig.pump.Elapsed(), 1min + 10ms);  // connect took 10 ms, then a full minute
  EXPECT_LT(rig.pump.Elapsed(), 1min + 1s);
  EXPECT_EQ(rig.socket.sent.size(), 1u);
}

TEST(HttpClient, CancelOrQuitEndsTheWaitAtOnceAndForGood) {
  {
    Rig rig;
    rig.ConnectsThenAnswers({});
    rig.pump.At(2s, [&] { rig.client.Cancel(); });
    EXPECT_FALSE(rig.client.HttpGet("/p"));
    EXPECT_LT(rig.pump.Elapsed(), 3s);
    EXPECT_FALSE(rig.client.HttpGet("/p"));  // closing: no further transaction starts
    EXPECT_EQ(rig.socket.connects, 1);
  }
  {
    Rig rig;
    rig.ConnectsThenAnswers({});
    rig.pump.QuitAt(2s);
    EXPECT_FALSE(rig.client.HttpGet("/p"));
    EXPECT_LT(rig.pump.Elapsed(), 3s);
    EXPECT_TRUE(rig.client.Cancelled());
  }
}

TEST(HttpClient, NestedTransactionIsRefusedAndLateEventsAreIgnored) {
  Rig rig;
  rig.ConnectsThenAnswers({kResponse});
  bool nested_result = true;
  rig.socket.on_send = [&] {
    nested_result = rig.client.HttpGet("/nested");
    rig.pump.At(5ms, [&] { rig.client.OnData(kResponse); });
  };
  EXPECT_TRUE(rig.client.HttpGet("/p"));
  EXPECT_FALSE(nested_result);
  // After the transaction, stray events change nothing.
  rig.client.OnConnected();
  rig.client.OnData("garbage");
  EXPECT_FALSE(rig.client.SocketConnected());
  EXPECT_EQ(rig.client.ResponseText(), kResponse);
}

}  // namespace
}  // namespace kalvane
