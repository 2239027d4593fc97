#include "http/http_client.h"

#include <algorithm>
#include <vector>

#include "base/text.h"
#include "http/response_completion.h"

namespace kalvane {
namespace {

// A header block that says the connection ends after this answer.
bool AnnouncesClose(std::string_view response) {
  return AsciiLowerText(HeaderBlock(response)).find("connection: close") != std::string::npos;
}

// The body of the complete answer `received`, cut out of it in place: a list of megabytes is not
// copied.
std::string CutOutBody(std::string received) {
  const std::string_view body = CompleteBody(received);
  if (body.empty()) return {};
  const auto start = static_cast<std::size_t>(body.data() - received.data());
  received.resize(start + body.size());
  received.erase(0, start);
  return received;
}

}  // namespace

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

std::string ProxyGetRequest(std::string_view request, std::string_view host,
                            std::string_view credentials) {
  constexpr std::string_view kMethod = "GET ";
  std::string absolute(kMethod);
  absolute.append("http://").append(host).append(request.substr(kMethod.size()));
  absolute.insert(absolute.size() - kLineEnd.size(), credentials);
  return absolute;
}

Result<HttpAnswer> HttpClient::Get(std::string_view path) {
  if (cancelled_) return Status::Failure(StatusKind::kCancelled);
  // One transaction at a time over the one socket: a Get from inside a waiting one is refused.
  if (phase_ != Phase::kIdle) return Status::Failure(StatusKind::kFailed);
  const Result<std::string> request = ComposeGetRequest(host_, path);
  if (!request) return request.status();

  route_ = FetchRoute{};
  std::vector<ProxyServer> proxies;
  if (proxies_ != nullptr) {
    phase_ = Phase::kRouting;  // choosing may wait for a script's answer
    proxies = proxies_->ProxiesForService(host_);
    phase_ = Phase::kIdle;
    if (cancelled_) return Status::Failure(StatusKind::kCancelled);
  }
  for (const ProxyServer& proxy : proxies) {
    Result<HttpAnswer> got = Exchange(&proxy, *request);
    // Through a proxy only an answer taken counts: one refused may be the proxy's own.
    const bool taken = got && got->verdict.fault == AnswerFault::kNone;
    if (taken) route_.proxy = proxy;
    if (taken || cancelled_) return got;
    route_.failed_proxy = proxy;
    route_.proxy_failure = got ? Status::Failure(StatusKind::kRejected) : got.status();
    route_.proxy_wants_credentials = credentials_refused_;
    proxies_->OnProxyFailed(proxy);
  }
  return Exchange(nullptr, *request);
}

Result<HttpAnswer> HttpClient::Exchange(const ProxyServer* proxy, std::string_view request) {
  via_proxy_ = proxy != nullptr;
  credentials_refused_ = false;
  verdict_ = {};
  std::optional<ProxyAuthentication> authentication;
  if (proxy != nullptr && packages_ != nullptr) authentication.emplace(*packages_, proxy->host);
  std::string credentials;
  Status outcome = Connect(proxy);
  const bool connected = outcome.ok();
  while (outcome.ok()) {
    response_text_.clear();
    phase_ = Phase::kReceiving;
    if (proxy == nullptr) {
      socket_.SendData(request);
    } else {
      socket_.SendData(ProxyGetRequest(request, host_, credentials));
    }
    outcome = Wait(WaitFor::kResponse);
    if (phase_ != Phase::kAuthAsked || !outcome.ok()) break;
    // A proxy asks for credentials: the user's own, on the same connection, or none at all.
    const Result<std::string> answer =
        authentication ? authentication->Answer(response_text_)
                       : Result<std::string>(Status::Failure(StatusKind::kRejected));
    if (!answer) {
      credentials_refused_ = true;
      outcome = answer.status();
      break;
    }
    credentials = *answer;
    if (peer_closed_) outcome = Connect(proxy);
  }
  socket_.Close();
  phase_ = Phase::kIdle;
  // An address that took the connection and then was silent or broke off is not the first one
  // to try again; an answer, even one refused, says the address works.
  if (proxy == nullptr) {
    next_first_ = connected && (outcome == StatusKind::kTimedOut ||
                                outcome == StatusKind::kFailed || outcome == StatusKind::kBrokenOff)
                      ? FirstAddress::kAnotherThanLast
                      : FirstAddress::kResolverOrder;
  }
  if (!outcome.ok()) return outcome;
  if (verdict_.fault != AnswerFault::kNone) return HttpAnswer::Refused(verdict_);
  return HttpAnswer::Taken(CutOutBody(std::move(response_text_)));
}

Status HttpClient::Connect(const ProxyServer* proxy) {
  socket_.Close();
  phase_ = Phase::kConnecting;
  transport_error_ = OkStatus();
  peer_closed_ = false;
  if (proxy == nullptr) {
    socket_.Connect(host_, port_, next_first_);
    return Wait(WaitFor::kConnection);
  }
  socket_.Connect(proxy->host, proxy->port, FirstAddress::kResolverOrder);
  return Wait(WaitFor::kConnection, kProxyConnectTimeout);
}

void HttpClient::Cancel() {
  cancelled_ = true;
  if (proxies_ != nullptr) proxies_->Cancel();
  socket_.Close();
}

Status HttpClient::Wait(WaitFor what, std::chrono::milliseconds limit) {
  const Phase waiting = what == WaitFor::kConnection ? Phase::kConnecting : Phase::kReceiving;
  const auto deadline = pump_.Now() + limit;
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
  switch (via_proxy_ ? JudgeProxyResponse(response_text_) : JudgeResponse(response_text_)) {
    case ResponseState::kIncomplete:
      return;
    case ResponseState::kComplete:
      Decide(OkStatus());
      return;
    case ResponseState::kRejected:
      Refuse(RefusalOf(response_text_));
      return;
    case ResponseState::kProxyAuth:
      // The connection stays open for the answer, unless the proxy ends it.
      phase_ = Phase::kAuthAsked;
      if (AnnouncesClose(response_text_)) peer_closed_ = true;
      return;
  }
}

// The peer's close ends nothing by itself: a short body still runs on to its time-out, which then
// reports the connection as broken off (kBrokenOff) rather than as silent. A proxy that closes
// early is given up at once: the request goes direct.
void HttpClient::OnClosed() {
  if (phase_ != Phase::kIdle) peer_closed_ = true;
  if (phase_ != Phase::kReceiving) return;
  if (via_proxy_) {
    Decide(Status::Failure(StatusKind::kBrokenOff));
  } else {
    Break(Status::Failure(StatusKind::kBrokenOff));
  }
}

// The transport reports an error while connecting only when no address is left to try: that is
// an answer, and the transaction ends with it at once. A connection that fails later is like one
// the peer closed: the response wait runs out its minute, then reports the error.
void HttpClient::OnError(Status failure) {
  if (phase_ != Phase::kIdle) peer_closed_ = true;
  if (phase_ == Phase::kConnecting || (via_proxy_ && phase_ == Phase::kReceiving)) {
    Decide(failure);
  } else if (phase_ == Phase::kReceiving || phase_ == Phase::kBroken) {
    Break(failure);
  }
}

}  // namespace kalvane
