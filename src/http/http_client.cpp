#include "http/http_client.h"

#include <algorithm>

#include "http/response_completion.h"

namespace kalvane {

bool BreaksRequestLine(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

Result<std::string> ComposeGetRequest(std::string_view host, std::string_view path) {
  if (BreaksRequestLine(host)) return Status::Failure(StatusKind::kRejected);
  if (BreaksRequestLine(path)) return Status::Failure(StatusKind::kRejected);
  std::string request;
  request.reserve(path.size() + host.size() + 32);
  request.append("GET ").append(path).append(" HTTP/1.1\r\n");
  request.append("Host: ").append(host).append("\r\n\r\n");
  return request;
}

Result<HttpAnswer> HttpClient::Get(std::string_view path) {
  if (cancelled_) return Status::Failure(StatusKind::kCancelled);
  // One transaction at a time over the one socket: a Get from inside a waiting one is refused.
  if (phase_ != Phase::kIdle) return Status::Failure(StatusKind::kFailed);
  const Result<std::string> request = ComposeGetRequest(host_, path);
  if (!request) return request.status();

  socket_.Close();
  phase_ = Phase::kConnecting;
  transport_error_ = OkStatus();
  verdict_ = {};
  response_text_.clear();
  socket_.Connect(host_, next_first_);
  Status outcome = Wait(WaitFor::kConnection);
  const bool connected = outcome.ok();
  if (connected) {
    socket_.SendData(*request);
    outcome = Wait(WaitFor::kResponse);
  }
  socket_.Close();
  phase_ = Phase::kIdle;
  // An address that took the connection and then was silent or broke off is not the first one
  // to try again; an answer, even one refused, says the address works.
  next_first_ = connected && (outcome == StatusKind::kTimedOut || outcome == StatusKind::kFailed ||
                              outcome == StatusKind::kBrokenOff)
                    ? FirstAddress::kAnotherThanLast
                    : FirstAddress::kResolverOrder;
  if (!outcome.ok()) return outcome;
  if (verdict_.fault != AnswerFault::kNone) return HttpAnswer::Refused(verdict_);
  return HttpAnswer::Taken(std::move(response_text_));
}

void HttpClient::Cancel() {
  cancelled_ = true;
  socket_.Close();
}

Status HttpClient::Wait(WaitFor what) {
  const Phase waiting = what == WaitFor::kConnection ? Phase::kConnecting : Phase::kReceiving;
  const auto deadline = pump_.Now() + kHttpTimeout;
  while (phase_ == waiting || phase_ == Phase::kBroken) {
    if (cancelled_) return Status::Failure(StatusKind::kCancelled);
    if (pump_.Now() >= deadline) {
      return transport_error_.ok() ? Status::Failure(StatusKind::kTimedOut) : transport_error_;
    }
    if (pump_.PumpUntil(deadline) == EventPump::Outcome::kQuit) Cancel();
  }
  if (cancelled_) return Status::Failure(StatusKind::kCancelled);
  return phase_ == Phase::kDecided ? outcome_ : OkStatus();
}

void HttpClient::Decide(Status outcome) {
  phase_ = Phase::kDecided;
  outcome_ = outcome;
  socket_.Close();
}

// An answer came, but not one to take: the transaction ends with it at once.
void HttpClient::Refuse(AnswerVerdict verdict) {
  verdict_ = verdict;
  Decide(OkStatus());
}

void HttpClient::Break(Status failure) {
  phase_ = Phase::kBroken;
  if (!failure.ok()) transport_error_ = failure;
  socket_.Close();
}

// Events count only in the phase that waits for them; the transport drops those of a socket it
// has closed.
void HttpClient::OnConnected() {
  if (phase_ == Phase::kConnecting) phase_ = Phase::kReceiving;
}

void HttpClient::OnData(std::string_view bytes) {
  if (phase_ != Phase::kReceiving) return;
  if (bytes.size() > kMaxResponseBytes - std::min(response_text_.size(), kMaxResponseBytes)) {
    Refuse({AnswerFault::kTooLarge});
    return;
  }
  response_text_.append(bytes);
  switch (JudgeResponse(response_text_)) {
    case ResponseState::kIncomplete:
      return;
    case ResponseState::kComplete:
      Decide(OkStatus());
      return;
    case ResponseState::kRejected:
      Refuse(RefusalOf(response_text_));
      return;
  }
}

// The peer's close ends nothing by itself: a short body still runs on to its time-out, which then
// reports the connection as broken off (kBrokenOff) rather than as silent.
void HttpClient::OnClosed() {
  if (phase_ == Phase::kReceiving) Break(Status::Failure(StatusKind::kBrokenOff));
}

// The transport reports an error while connecting only when no address is left to try: that is
// an answer, and the transaction ends with it at once. A connection that fails later is like one
// the peer closed: the response wait runs out its minute, then reports the error.
void HttpClient::OnError(Status failure) {
  if (phase_ == Phase::kConnecting) {
    Decide(failure);
  } else if (phase_ == Phase::kReceiving || phase_ == Phase::kBroken) {
    Break(failure);
  }
}

}  // namespace kalvane
