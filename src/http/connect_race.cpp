#include "http/connect_race.h"

#include <algorithm>

namespace kalvane {
namespace {

// The family that goes first: the first address's, or when one address is to be avoided, the
// first family in the list that is not its own (its own if there is no other).
int FirstFamily(const std::vector<int>& families, std::optional<std::size_t> avoid) {
  if (!avoid) return families.front();
  const auto other = std::find_if(families.begin(), families.end(),
                                  [&](int family) { return family != families[*avoid]; });
  return other != families.end() ? *other : families[*avoid];
}

// The addresses of the first family and the others, taken in turn, each group in the resolver's
// order and cut to kMaxAddressesPerFamily; the avoided address last, counted in its family.
std::vector<std::size_t> StartOrder(const std::vector<int>& families,
                                    std::optional<std::size_t> avoid) {
  if (families.empty()) return {};
  if (avoid && *avoid >= families.size()) avoid.reset();
  const int first_family = FirstFamily(families, avoid);
  std::vector<std::size_t> first, other;
  for (std::size_t i = 0; i < families.size(); ++i) {
    if (i == avoid) continue;
    auto& group = families[i] == first_family ? first : other;
    const bool avoided_family = avoid && families[*avoid] == families[i];
    if (group.size() + (avoided_family ? 1 : 0) < kMaxAddressesPerFamily) group.push_back(i);
  }
  std::vector<std::size_t> order;
  order.reserve(first.size() + other.size() + 1);
  for (std::size_t i = 0; i < std::max(first.size(), other.size()); ++i) {
    if (i < first.size()) order.push_back(first[i]);
    if (i < other.size()) order.push_back(other[i]);
  }
  if (avoid) order.push_back(*avoid);
  return order;
}

}  // namespace

ConnectRace::ConnectRace(const std::vector<int>& families, std::optional<std::size_t> avoid)
    : order_(StartOrder(families, avoid)), states_(families.size(), State::kWaiting) {}

RaceActions ConnectRace::Begin(Time now) { return StartNext(now); }

RaceActions ConnectRace::OnTimer(Time now) {
  if (decided_ || !next_start_ || now < *next_start_) return {};
  return StartNext(now);
}

RaceActions ConnectRace::OnConnected(std::size_t address) {
  RaceActions actions;
  if (address >= states_.size()) return actions;
  if (decided_ || states_[address] != State::kConnecting) {
    // Too late, or never started: this socket is not used.
    if (states_[address] != State::kUsed) actions.close.push_back(address);
    return actions;
  }
  decided_ = true;
  next_start_.reset();
  states_[address] = State::kUsed;
  actions.use = address;
  for (std::size_t i = 0; i < states_.size(); ++i) {
    if (states_[i] != State::kConnecting) continue;
    states_[i] = State::kClosed;
    actions.close.push_back(i);
  }
  return actions;
}

RaceActions ConnectRace::OnFailed(std::size_t address, Time now) {
  if (decided_ || address >= states_.size() || states_[address] != State::kConnecting) return {};
  states_[address] = State::kFailed;
  if (started_ < order_.size()) return StartNext(now);
  RaceActions actions;
  if (!AnyConnecting()) {
    decided_ = true;
    actions.failed = true;
  }
  return actions;
}

RaceActions ConnectRace::StartNext(Time now) {
  RaceActions actions;
  if (started_ == order_.size()) {
    next_start_.reset();
    if (!AnyConnecting()) {
      decided_ = true;
      actions.failed = true;
    }
    return actions;
  }
  const std::size_t address = order_[started_++];
  states_[address] = State::kConnecting;
  actions.start.push_back(address);
  if (started_ < order_.size()) {
    next_start_ = now + kConnectStagger;
  } else {
    next_start_.reset();
  }
  return actions;
}

bool ConnectRace::AnyConnecting() const {
  return std::find(states_.begin(), states_.end(), State::kConnecting) != states_.end();
}

}  // namespace kalvane
