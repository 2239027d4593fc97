#pragma once

// Connecting to a name with several addresses without waiting on a silent one: the rule of the
// staggered attempts, apart from sockets and timers, as a function of time and events. The
// Winsock transport (winsock_transport-win32.h) starts, closes and uses sockets as it says.

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

#include "base/event_pump.h"

namespace kalvane {

// How long an address may stay silent (neither connected nor failed) before the next one is
// started as well.
inline constexpr std::chrono::milliseconds kConnectStagger{250};

// How many addresses of each family one attempt tries. A name's first few addresses are where
// its service runs; a name with thousands (a misconfigured or hostile resolver) must cost no more
// than a few seconds of staggered starts, and 2 x 8 sockets at most.
inline constexpr std::size_t kMaxAddressesPerFamily = 8;

// What to do after an event: start connecting to these addresses, close these sockets, use the
// one that connected; `failed` once every address has failed. Addresses are indexes into the
// list the race was built with.
struct RaceActions {
  std::vector<std::size_t> start;
  std::vector<std::size_t> close;
  std::optional<std::size_t> use;
  bool failed = false;
};

// The race over one attempt's addresses, the first kMaxAddressesPerFamily of each family (the
// rest are never started). The first address goes first, unless the race is told to avoid one:
// then that one goes last, and an address of another family, if there is one, first; each following
// one is started when the latest started has been silent for kConnectStagger, or at once when an
// attempt fails. Families alternate where the list allows: after an address of one family comes
// the next of the other. The first socket that connects is used and every other one is closed,
// a success that comes later included.
class ConnectRace {
 public:
  using Time = MonotonicClock::time_point;

  // One family tag per address (any values: only equality counts), in the resolver's order;
  // `avoid`, the address the last connection went to when it gave no answer.
  explicit ConnectRace(const std::vector<int>& families,
                       std::optional<std::size_t> avoid = std::nullopt);

  RaceActions Begin(Time now);
  // Starts the next address once NextStart() has come.
  RaceActions OnTimer(Time now);
  RaceActions OnConnected(std::size_t address);
  RaceActions OnFailed(std::size_t address, Time now);

  // When OnTimer has something to do; none while no address waits or once the race is decided.
  std::optional<Time> NextStart() const { return next_start_; }

 private:
  enum class State { kWaiting, kConnecting, kFailed, kClosed, kUsed };

  RaceActions StartNext(Time now);
  bool AnyConnecting() const;

  std::vector<std::size_t> order_;  // the addresses in the order they are started
  std::size_t started_ = 0;         // how many of order_ have been started
  std::vector<State> states_;       // by address
  std::optional<Time> next_start_;
  bool decided_ = false;
};

}  // namespace kalvane
