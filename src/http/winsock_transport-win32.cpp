#include "http/winsock_transport-win32.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/ansi_code_page-win32.h"
#include "platform/last_error-win32.h"
#include "platform/wide_text-win32.h"

namespace kalvane {
namespace {

// The host as the resolver takes it: the request's bytes in the ANSI code page.
std::wstring HostText(std::string_view host) { return ToWide(SystemAnsiCodePage().Decode(host)); }

void SetPort(ResolvedAddress& address, unsigned short port) {
  if (address.address.ss_family == AF_INET6) {
    reinterpret_cast<sockaddr_in6&>(address.address).sin6_port = htons(port);
  } else {
    reinterpret_cast<sockaddr_in&>(address.address).sin_port = htons(port);
  }
}

bool SameAddress(const ResolvedAddress& a, const ResolvedAddress& b) {
  return a.length == b.length && memcmp(&a.address, &b.address, static_cast<size_t>(a.length)) == 0;
}

}  // namespace

WinsockTransport::WinsockTransport(UINT socket_message, UINT resolve_message,
                                   LookupMethod lookup_method)
    : socket_message_(socket_message),
      resolve_message_(resolve_message),
      lookup_method_(lookup_method),
      stagger_timer_([this] { OnStaggerTimer(); }) {}

WinsockTransport::~WinsockTransport() { Close(); }

void WinsockTransport::Connect(std::string_view host, std::uint16_t port, FirstAddress first) {
  Close();
  first_ = first;
  port_ = port;
  lookup_ = std::make_unique<NameLookup>(window_, resolve_message_, ++lookup_count_, HostText(host),
                                         lookup_method_);
}

void WinsockTransport::SendData(std::string_view bytes) {
  pending_send_.append(bytes);
  FlushPending();
}

void WinsockTransport::Close() {
  lookup_.reset();
  EndRace();
  socket_.reset();
  pending_send_.clear();
}

bool WinsockTransport::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == resolve_message_) {
    OnResolved(wparam);
    return true;
  }
  if (message == socket_message_) {
    OnSocketEvent(static_cast<SOCKET>(wparam), WSAGETSELECTEVENT(lparam),
                  WSAGETSELECTERROR(lparam));
    return true;
  }
  return false;
}

void WinsockTransport::OnResolved(WPARAM id) {
  if (!lookup_ || lookup_->id() != id) return;  // a look-up of an earlier attempt
  LookupOutcome outcome = lookup_->TakeOutcome();
  lookup_.reset();
  if (!outcome) {
    Fail(outcome.status());
    return;
  }
  addresses_ = std::move(outcome).value();
  std::vector<int> families;
  std::optional<std::size_t> avoid;
  for (ResolvedAddress& address : addresses_) {
    SetPort(address, port_);
    if (first_ == FirstAddress::kAnotherThanLast && !avoid && last_used_ &&
        SameAddress(address, *last_used_)) {
      avoid = families.size();
    }
    families.push_back(address.address.ss_family);
  }
  racing_.resize(addresses_.size());
  race_error_ = OkStatus();
  race_.emplace(families, avoid);
  Apply(race_->Begin(MonotonicClock::now()));
}

void WinsockTransport::Apply(RaceActions actions) {
  // A loop, not a recursion: every address that fails at once hands the race its next one here,
  // however many the name has.
  for (;;) {
    for (std::size_t address : actions.close) racing_[address].reset();
    if (actions.use) {
      socket_ = std::move(racing_[*actions.use]);
      last_used_ = addresses_[*actions.use];
      EndRace();
      if (events_ != nullptr) events_->OnConnected();
      return;
    }
    if (actions.failed) {
      Fail(race_error_);
      return;
    }
    std::optional<std::size_t> failed_at_once;
    for (std::size_t address : actions.start) {
      const Status started = StartSocket(address);
      if (!started.ok()) {
        race_error_ = started;
        racing_[address].reset();
        failed_at_once = address;
        break;
      }
    }
    if (!failed_at_once) break;
    // The race starts one address at a time; the next one, if any, goes at once.
    actions = race_->OnFailed(*failed_at_once, MonotonicClock::now());
  }
  ArmStaggerTimer();
}

Status WinsockTransport::StartSocket(std::size_t address) {
  const auto failure = [] { return LastSocketErrorStatus(); };
  const ResolvedAddress& target = addresses_[address];
  UniqueSocket& attempt = racing_[address];
  attempt.reset(socket(target.address.ss_family, SOCK_STREAM, IPPROTO_TCP));
  if (!attempt || WSAAsyncSelect(attempt.get(), window_, socket_message_,
                                 FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
    return failure();
  }
  if (connect(attempt.get(), reinterpret_cast<const sockaddr*>(&target.address), target.length) !=
          0 &&
      LastSocketError() != WSAEWOULDBLOCK) {
    return failure();
  }
  return OkStatus();
}

void WinsockTransport::OnStaggerTimer() {
  stagger_timer_.Stop();
  if (race_) Apply(race_->OnTimer(MonotonicClock::now()));
}

void WinsockTransport::ArmStaggerTimer() {
  if (!race_ || !race_->NextStart()) {
    stagger_timer_.Stop();
    return;
  }
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(*race_->NextStart() - MonotonicClock::now());
  const auto interval = std::max<std::chrono::milliseconds::rep>(left.count(), USER_TIMER_MINIMUM);
  stagger_timer_.Start(static_cast<UINT>(interval));
}

void WinsockTransport::EndRace() {
  stagger_timer_.Stop();
  race_.reset();
  racing_.clear();  // closes every socket still trying
  addresses_.clear();
}

void WinsockTransport::OnRaceSocketEvent(std::size_t address, int event, int error) {
  // Until a socket has connected, its connect event is the only one that matters.
  if (event != FD_CONNECT) return;
  if (error == 0) {
    Apply(race_->OnConnected(address));
    return;
  }
  race_error_ = Status::Failure(StatusKind::kFailed, static_cast<std::uint32_t>(error));
  racing_[address].reset();
  Apply(race_->OnFailed(address, MonotonicClock::now()));
}

void WinsockTransport::OnSocketEvent(SOCKET socket, int event, int error) {
  if (events_ == nullptr) return;
  if (race_) {
    for (std::size_t i = 0; i < racing_.size(); ++i) {
      if (racing_[i] && racing_[i].get() == socket) {
        OnRaceSocketEvent(i, event, error);
        return;
      }
    }
    return;
  }
  if (!socket_ || socket != socket_.get()) return;
  switch (event) {
    case FD_WRITE:
      FlushPending();
      break;
    case FD_READ:
      // One recv per FD_READ: Winsock posts another message while more data waits.
      ReceiveOnce();
      break;
    case FD_CLOSE:
      // Data that came before the close is still delivered.
      while (socket_ && socket_.get() == socket && ReceiveOnce()) {
      }
      if (socket_ && socket_.get() == socket) {
        socket_.reset();
        events_->OnClosed();
      }
      break;
    default:
      break;
  }
}

bool WinsockTransport::ReceiveOnce() {
  std::array<char, 64 * 1024> chunk;
  const int got = recv(socket_.get(), chunk.data(), static_cast<int>(chunk.size()), 0);
  if (got > 0) {
    events_->OnData(std::string_view(chunk.data(), static_cast<size_t>(got)));
    return true;
  }
  if (got == SOCKET_ERROR && LastSocketError() != WSAEWOULDBLOCK) FailWithLastError();
  return false;
}

void WinsockTransport::FlushPending() {
  while (socket_ && !pending_send_.empty()) {
    const int sent = send(socket_.get(), pending_send_.data(),
                          static_cast<int>(std::min<size_t>(pending_send_.size(), 1 << 20)), 0);
    if (sent == SOCKET_ERROR) {
      if (LastSocketError() != WSAEWOULDBLOCK) FailWithLastError();
      return;  // FD_WRITE says when to go on
    }
    pending_send_.erase(0, static_cast<size_t>(sent));
  }
}

void WinsockTransport::Fail(Status failure) {
  Close();
  if (events_ != nullptr) events_->OnError(failure);
}

void WinsockTransport::FailWithLastError() { Fail(LastSocketErrorStatus()); }

}  // namespace kalvane
