#pragma once

// One HTTP/1.1 GET at a time to the domain service, over a TCP client whose events arrive through
// the event pump. The completion rule lives in response_completion.h, the Winsock client in
// winsock_transport-win32.h.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/event_pump.h"
#include "base/status.h"
#include "http/proxy_auth.h"
#include "http/proxy_router.h"
#include "http/proxy_settings.h"
#include "http/response_completion.h"
#include "http/service_endpoint.h"

namespace kalvane {

// What a TCP client reports about its connection, delivered from inside the event pump.
class SocketEvents {
 public:
  virtual void OnConnected() = 0;
  virtual void OnData(std::string_view bytes) = 0;
  // The peer closed the connection; everything it sent before has been delivered.
  virtual void OnClosed() = 0;
  // The connection, or the attempt to make one, ended in `failure`: kNotFound when the name did
  // not resolve, kFailed with the Winsock error code otherwise.
  virtual void OnError(Status failure) = 0;

 protected:
  ~SocketEvents() = default;
};

// Which of the name's addresses a connection attempt tries first.
enum class FirstAddress {
  kResolverOrder,  // the system's order
  // Another than the one the last connection went to, of the other family where there is one:
  // that address took the connection and then gave no answer.
  kAnotherThanLast,
};

// The TCP client: connects to a host and port and reports to its SocketEvents.
class SocketTransport {
 public:
  virtual ~SocketTransport() = default;
  virtual void Connect(std::string_view host, std::uint16_t port, FirstAddress first) = 0;
  virtual void SendData(std::string_view bytes) = 0;
  // Ends the connection (or the attempt to make one); later events of it are not delivered.
  virtual void Close() = 0;
};

inline constexpr std::chrono::minutes kHttpTimeout{1};
// How long a proxy may take to accept the connection before the request goes direct.
inline constexpr std::chrono::seconds kProxyConnectTimeout{4};

// Which way the last Get went.
struct FetchRoute {
  std::optional<ProxyServer> proxy;  // the proxy the answer came through; nothing: direct
  // The last proxy that failed on the way and why: kFailed with the Winsock code, kNotFound,
  // kTimedOut, kBrokenOff, kRejected (an answer refused, or credentials asked for that are not
  // given: then `proxy_wants_credentials`).
  std::optional<ProxyServer> failed_proxy;
  Status proxy_failure;
  bool proxy_wants_credentials = false;
};

// What came back for one GET: an answer, taken or refused.
struct HttpAnswer {
  AnswerVerdict verdict;  // fault kNone: the answer is taken
  std::string body;       // a taken answer's body, cut at its Content-Length

  static HttpAnswer Taken(std::string body) { return {{}, std::move(body)}; }
  static HttpAnswer Refused(AnswerVerdict verdict) { return {verdict, {}}; }
};

// One GET at a time, as the update cycle asks for it.
class PageFetch {
 public:
  virtual ~PageFetch() = default;
  // Whatever answer came back: a complete "HTTP/1.1 200 OK" response, or one refused and why
  // (another status or version, no length, too large). A failure only when none came: kTimedOut,
  // kCancelled, kRejected (a request that would break its line), kNotFound (the name did not
  // resolve), kBrokenOff (the connection closed before the answer was whole) or kFailed with the
  // transport's error code.
  virtual Result<HttpAnswer> Get(std::string_view path) = 0;
  // Ends a waiting Get at once with kCancelled (the program is closing); stays in force.
  virtual void Cancel() = 0;
  // Which way the last Get went; direct unless told otherwise.
  virtual FetchRoute LastRoute() const { return {}; }
};

// One HTTP/1.1 GET at a time over the one TCP client, synchronous for its caller: Get waits,
// running the event pump, until the response is complete or rejected, every address has failed,
// or a minute of silence has passed. After a connection that gave no complete answer, the next
// Get connects to another address first.
// `host` is what the request's Host line names and, going direct, where the client connects
// (on `port`): the domain service unless a test says otherwise. With proxies to use, each Get tries
// those the choice names in order, each with kProxyConnectTimeout to connect, asking in absolute
// form and answering a 407 with the user's own credentials where the packages can; a proxy that
// fails is reported to the choice, and the same Get then goes on with the next proxy or direct.
class HttpClient final : public PageFetch, public SocketEvents {
 public:
  HttpClient(SocketTransport& socket, EventPump& pump, std::string host = std::string(kServiceHost),
             std::uint16_t port = kServicePort)
      : socket_(socket), pump_(pump), host_(std::move(host)), port_(port) {}
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  void UseProxies(ProxyChoice& choice, SecurityPackages& packages) {
    proxies_ = &choice;
    packages_ = &packages;
  }

  Result<HttpAnswer> Get(std::string_view path) override;
  void Cancel() override;
  FetchRoute LastRoute() const override { return route_; }

  void OnConnected() override;
  void OnData(std::string_view bytes) override;
  void OnClosed() override;
  void OnError(Status failure) override;

 private:
  // Where the one transaction stands.
  enum class Phase {
    kIdle,        // none runs; events are stale and dropped
    kRouting,     // the proxies are being chosen
    kConnecting,  // waiting for the connection
    kReceiving,   // the request is out; waiting for the whole answer
    kBroken,      // the connection ended without a complete answer; the wait runs out its minute
    kDecided,     // the answer is complete or refused, or no address took the connection
    kAuthAsked,   // a proxy's whole 407 answer is in; the connection stays open
  };
  enum class WaitFor { kConnection, kResponse };

  // One exchange of `request` with `proxy`, or with the service when there is none.
  Result<HttpAnswer> Exchange(const ProxyServer* proxy, std::string_view request);
  Status Connect(const ProxyServer* proxy);
  Status Wait(WaitFor what, std::chrono::milliseconds limit = kHttpTimeout);
  void Decide(Status outcome);
  void Refuse(AnswerVerdict verdict);
  void Break(Status failure);

  SocketTransport& socket_;
  EventPump& pump_;
  std::string host_;
  std::uint16_t port_;
  ProxyChoice* proxies_ = nullptr;
  SecurityPackages* packages_ = nullptr;
  FetchRoute route_;
  bool via_proxy_ = false;            // the exchange under way goes through a proxy
  bool peer_closed_ = false;          // the connection of this exchange has ended
  bool credentials_refused_ = false;  // the proxy of this exchange asked for credentials in vain
  Phase phase_ = Phase::kIdle;
  Status outcome_;          // in kDecided
  AnswerVerdict verdict_;   // in kDecided with a success: the answer's, fault kNone when taken
  Status transport_error_;  // the transport's latest failure in this transaction
  std::string response_text_;
  FirstAddress next_first_ = FirstAddress::kResolverOrder;  // for the next Get's connection
  // Not a phase: Cancel outlives the transaction it ends and refuses every later one.
  bool cancelled_ = false;
};

// CR, LF and NUL end or cut a request line: a value holding one is never sent.
bool BreaksRequestLine(std::string_view text);

// The request exactly as the service expects it; kRejected when host or path hold CR, LF or NUL,
// which would let a typed value forge request lines.
Result<std::string> ComposeGetRequest(std::string_view host, std::string_view path);
// `request`, as ComposeGetRequest made it for `host`, sent to a proxy: the request line names the
// whole URL, "http://" host path; the proxy's credentials, when given, follow the Host line
// (`credentials` ends in CR LF).
std::string ProxyGetRequest(std::string_view request, std::string_view host,
                            std::string_view credentials);

}  // namespace kalvane
