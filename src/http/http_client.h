#pragma once

// One HTTP/1.1 GET at a time to the domain service, over a TCP client whose events arrive through
// the event pump. The completion rule lives in response_completion.h, the Winsock client in
// winsock_transport-win32.h.

#include <chrono>
#include <string>
#include <string_view>
#include <utility>

#include "base/event_pump.h"

namespace kalvane {

// The TCP client: connects to a host on the port it was set up with. Its events come back through
// HttpClient's On* handlers, delivered from inside the event pump.
class SocketTransport {
 public:
  virtual ~SocketTransport() = default;
  virtual void Connect(std::string_view host) = 0;
  virtual void SendData(std::string_view bytes) = 0;
  // Ends the connection (or the attempt to make one); later events of it are not delivered.
  virtual void Close() = 0;
};

inline constexpr std::chrono::minutes kHttpTimeout{1};

// One GET at a time, as the update cycle asks for it.
class PageFetch {
 public:
  virtual ~PageFetch() = default;
  // True when a complete "HTTP/1.1 200 OK" response arrived; it then stands in ResponseText().
  virtual bool HttpGet(std::string_view path) = 0;
  virtual const std::string& ResponseText() const = 0;
  // Ends a waiting HttpGet at once with false (the program is closing); stays in force.
  virtual void Cancel() = 0;
};

// One HTTP/1.1 GET at a time over the one TCP client, synchronous for its caller: HttpGet waits,
// running the event pump, until the response is complete, rejected, or a minute has passed.
// `host` is both where the client connects and what the request's Host line names.
class HttpClient final : public PageFetch {
 public:
  HttpClient(SocketTransport& socket, EventPump& pump, std::string host)
      : socket_(socket), pump_(pump), host_(std::move(host)) {}
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  bool HttpGet(std::string_view path) override;
  void Cancel() override;
  bool Cancelled() const { return cancelled_; }

  const std::string& ResponseText() const override { return response_text_; }
  bool SocketConnected() const { return socket_connected_; }

  // Socket events.
  void OnConnected();
  void OnData(std::string_view bytes);
  void OnClosed();
  void OnError();

 private:
  enum class WaitFor { Connection, Response };

  bool Wait(WaitFor what);
  bool WaitSatisfied(WaitFor what) const;
  void CloseSocket();

  SocketTransport& socket_;
  EventPump& pump_;
  std::string host_;
  std::string response_text_;
  bool socket_connected_ = false;
  bool response_complete_ = false;
  bool response_rejected_ = false;
  bool cancelled_ = false;
  bool busy_ = false;
};

// CR, LF and NUL end or cut a request line: a value holding one is never sent.
bool BreaksRequestLine(std::string_view text);

// The request exactly as the service expects it; empty when host or path hold CR, LF or NUL,
// which would let a typed value forge request lines.
std::string ComposeGetRequest(std::string_view host, std::string_view path);

}  // namespace kalvane
