#include "http/http_client.h"

#include <algorithm>

#include "base/scoped_flag.h"
#include "http/response_completion.h"

namespace kalvane {

bool BreaksRequestLine(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string ComposeGetRequest(std::string_view host, std::string_view path) {
  if (BreaksRequestLine(host) || BreaksRequestLine(path)) return {};
  std::string request;
  request.reserve(path.size() + host.size() + 32);
  request.append("GET ").append(path).append(" HTTP/1.1\r\n");
  request.append("Host: ").append(host).append("\r\n\r\n");
  return request;
}

bool HttpClient::HttpGet(std::string_view path) {
  if (busy_ || cancelled_) return false;  // one transaction at a time over the one socket
  const std::string request = ComposeGetRequest(host_, path);
  if (request.empty()) return false;
  ScopedFlag busy(busy_);

  CloseSocket();
  socket_.Connect(host_);
  bool result = false;
  if (Wait(WaitFor::Connection)) {
    response_complete_ = false;
    response_rejected_ = false;
    response_text_.clear();
    socket_.SendData(request);
    result = Wait(WaitFor::Response) && response_complete_;
  }
  CloseSocket();
  return result;
}

void HttpClient::Cancel() {
  cancelled_ = true;
  CloseSocket();
}

bool HttpClient::Wait(WaitFor what) {
  const auto deadline = pump_.Now() + kHttpTimeout;
  while (!WaitSatisfied(what)) {
    if (cancelled_ || pump_.Now() >= deadline) return false;
    if (pump_.PumpUntil(deadline) == EventPump::Outcome::kQuit) {
      Cancel();
      return false;
    }
  }
  return !cancelled_;
}

bool HttpClient::WaitSatisfied(WaitFor what) const {
  if (what == WaitFor::Connection) return socket_connected_;
  return response_complete_ || response_rejected_;
}

void HttpClient::CloseSocket() {
  socket_.Close();
  socket_connected_ = false;
}

// Events reach the client only while a transaction runs; the transport drops those of a socket it
// has closed.
void HttpClient::OnConnected() {
  if (busy_) socket_connected_ = true;
}

void HttpClient::OnData(std::string_view bytes) {
  if (!busy_ || !socket_connected_ || response_complete_ || response_rejected_) return;
  if (bytes.size() > kMaxResponseBytes - std::min(response_text_.size(), kMaxResponseBytes)) {
    response_rejected_ = true;
  } else {
    response_text_.append(bytes);
    switch (JudgeResponse(response_text_)) {
      case ResponseState::kIncomplete:
        return;
      case ResponseState::kComplete:
        response_complete_ = true;
        break;
      case ResponseState::kRejected:
        response_rejected_ = true;
        break;
    }
  }
  CloseSocket();
}

// The peer's close ends nothing by itself: a short body still runs on to its time-out.
void HttpClient::OnClosed() { socket_connected_ = false; }

// Neither wait is ended by an error: a refused connection waits out its minute.
void HttpClient::OnError() { CloseSocket(); }

}  // namespace kalvane
