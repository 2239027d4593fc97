#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "base/event_pump.h"

namespace kalvane {

// Interval of the one-second timer that drives the regular refresh.
inline constexpr unsigned kRefreshTickMs = 1000;

// A regular refresh starts on the tick that takes the tick count above this, the 301st.
inline constexpr int kRefreshThreshold = 300;

// The regular refresh's rule. Ticks count in every state of the program, also while a cycle waits
// for the network; cycles started elsewhere (start-up, Save) do not move the next refresh.
class RefreshSchedule {
 public:
  // One tick. True when a regular refresh is to start now; the tick count has then been reset
  // already, so ticks that arrive during that cycle count towards the next refresh. A refresh
  // that falls due while `cycle_running` is skipped: the count restarts all the same and the
  // answer is false, since only one cycle may be in progress at a time.
  bool OnRefreshTick(bool cycle_running);

  // Ticks since the last regular refresh fell due; never above kRefreshThreshold.
  int RefreshTicks() const { return refresh_ticks_; }

 private:
  int refresh_ticks_ = 0;
};

// What started a cycle, or is to start the next one.
enum class CycleTrigger : std::uint8_t {
  kNone,            // nothing to start
  kStartUp,         // the cycle before the window is first shown
  kSave,            // the account was saved
  kRegularRefresh,  // the 301st tick
  kQuickRetry,      // the last cycle got no answer
  kWake,            // the machine woke from sleep or hibernation
  kNetworkUp,       // a network interface came up or got an address
};

// After a cycle that got no answer, the next ones come after these waits, each counted from the
// end of the cycle before; after the last the regular refresh takes over.
inline constexpr std::array<std::chrono::seconds, 5> kQuickRetryDelays = {
    std::chrono::seconds(10), std::chrono::seconds(20), std::chrono::seconds(40),
    std::chrono::seconds(80), std::chrono::seconds(160)};

// Waking and a network that comes up start a cycle once the notifications have been quiet this
// long, so that the two messages of one wake, or a burst of interface changes, make one cycle and
// the network has had a moment to settle.
inline constexpr std::chrono::seconds kSettleDelay{3};
// A burst that goes on longer does not hold its cycle back beyond this.
inline constexpr std::chrono::seconds kSettleLimit{10};

// When update cycles start. The events come with the monotonic time they happened at; each event
// that can start a cycle answers which one is to start now (kNone for none), and the caller then
// runs it, calling OnCycleStarted and OnCycleEnded around it.
//
// - The regular refresh keeps its rhythm of the 301st tick (RefreshSchedule): no other cycle moves
//   it, and one that falls due while a cycle runs is skipped, as ever.
// - A cycle that got no answer (no connection, no response) is retried after 10, 20, 40, 80 and
//   160 s; then the regular refresh takes over, and its own failures do not start the retries
//   again. Any answer ends the retries. A cycle started by Save, start-up, waking or the network
//   starts the retries afresh when it gets no answer; a regular refresh that fails takes the
//   place of the retry that was due next.
// - Save starts a cycle at once; waking and the network after kSettleDelay. Quick retries and
//   settled events are served by the one-second tick.
// - No two cycles run at once. A Save during a cycle runs right after it: that cycle read the
//   account before the Save. Waking or the network settling during a cycle also runs right after
//   it, unless that cycle got an answer, which shows the network works and the list is fresh.
class CycleTiming {
 public:
  using TimePoint = MonotonicClock::time_point;

  // `now` is the program's start, from which the first regular refresh is reckoned.
  explicit CycleTiming(TimePoint now) : last_tick_(now) {}

  // The account was saved. kSave, or kNone while a cycle runs (it then follows that cycle).
  CycleTrigger OnSaved(TimePoint now);
  // The machine woke up; a network interface came up or got an address. A cycle follows on a
  // later tick, once the events have settled.
  void OnWake(TimePoint now) { Unsettled(now, CycleTrigger::kWake); }
  void OnNetworkUp(TimePoint now) { Unsettled(now, CycleTrigger::kNetworkUp); }
  // One tick of the one-second timer: a regular refresh, a settled event or a quick retry.
  CycleTrigger OnTick(TimePoint now);

  // A cycle starts now, for `trigger`. It answers whatever was waiting: a Save, a due retry.
  void OnCycleStarted(TimePoint now, CycleTrigger trigger);
  // The cycle ended; `answered` when the service answered at all (an error status and an
  // unconfirmed account included; also when there was nothing to ask: an account that cannot be
  // sent). Answers the cycle that is to run right after it, kNone for none.
  CycleTrigger OnCycleEnded(TimePoint now, bool answered);

  bool CycleRunning() const { return running_ != CycleTrigger::kNone; }

  // The next cycle the timing will start by itself, and when: a settled event or a quick retry
  // when one is due before the regular refresh, otherwise the regular refresh (reckoned from the
  // last tick). While a cycle runs only the regular refresh is known.
  struct NextCycle {
    CycleTrigger trigger = CycleTrigger::kRegularRefresh;
    TimePoint due;
  };
  NextCycle Next() const;

  // Quick retries made since the last answer (0 to 5); 5 once the regular refresh has taken over.
  int QuickRetries() const { return retries_; }

 private:
  void Unsettled(TimePoint now, CycleTrigger trigger);
  bool SettleDue(TimePoint now) const;

  RefreshSchedule schedule_;
  TimePoint last_tick_;
  CycleTrigger running_ = CycleTrigger::kNone;
  bool save_pending_ = false;
  // Waking or the network: the first unsettled event, and when the cycle for it is due.
  CycleTrigger settle_trigger_ = CycleTrigger::kNone;
  TimePoint settle_first_;
  TimePoint settle_due_;
  // The quick retries: how many have been made (or taken by a regular refresh) since the last
  // answer, and when the next is due.
  int retries_ = 0;
  bool retry_sequence_ = false;  // the last cycle got no answer and a sequence is under way
  std::optional<TimePoint> retry_due_;
};

}  // namespace kalvane
