#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/event_pump.h"
#include "http/http_client.h"

namespace kalvane::testing {

// A fake clock and a script of events: each PumpUntil either delivers the next scripted event
// (moving the clock to its time) or moves the clock to the deadline.
class ScriptedPump final : public EventPump {
 public:
  using Action = std::function<void()>;

  MonotonicClock::time_point Now() const override { return now_; }

  Outcome PumpUntil(MonotonicClock::time_point deadline) override {
    ++pump_calls_;
    if (!script_.empty() && script_.begin()->first <= deadline) {
      auto [when, action] = *script_.begin();
      script_.erase(script_.begin());
      if (when > now_) now_ = when;
      if (!action) return Outcome::kQuit;
      action();
    } else if (deadline > now_) {
      now_ = deadline;
    }
    return Outcome::kContinue;
  }

  // Runs `action` `after` from the present moment.
  void At(std::chrono::milliseconds after, Action action) {
    auto when = now_ + after;
    script_.emplace(when, std::move(action));
  }
  void QuitAt(std::chrono::milliseconds after) { At(after, nullptr); }

  MonotonicClock::time_point Start() const { return start_; }
  std::chrono::milliseconds Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - start_);
  }
  int PumpCalls() const { return pump_calls_; }

 private:
  MonotonicClock::time_point start_{std::chrono::hours(1000)};
  MonotonicClock::time_point now_ = start_;
  std::multimap<MonotonicClock::time_point, Action> script_;
  int pump_calls_ = 0;
};

// Records what the client asks of the socket; a test scripts the events that come back.
class FakeSocket final : public SocketTransport {
 public:
  void Connect(std::string_view host, std::uint16_t port, FirstAddress first) override {
    ++connects;
    connected_host = host;
    connected_port = port;
    firsts.push_back(first);
    if (on_connect) on_connect();
  }
  void SendData(std::string_view bytes) override {
    sent.emplace_back(bytes);
    if (on_send) on_send();
  }
  void Close() override { ++closes; }

  int connects = 0;
  std::string connected_host;
  std::uint16_t connected_port = 0;
  std::vector<FirstAddress> firsts;  // of every Connect
  int closes = 0;
  std::vector<std::string> sent;
  std::function<void()> on_connect;
  std::function<void()> on_send;
};

}  // namespace kalvane::testing
