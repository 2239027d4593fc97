#pragma once

namespace kalvane {

// Interval of the one-second timer that drives the timed refresh.
inline constexpr unsigned kRefreshTickMs = 1000;

// A timed refresh starts on the tick that takes the tick count above this, the 301st.
inline constexpr int kRefreshThreshold = 300;

// The timed refresh rule. Ticks count in every state of the program, also while a cycle waits for
// the network; cycles started elsewhere (start-up, Save) do not move the next timed refresh.
class RefreshSchedule {
 public:
  // One tick. True when a timed cycle is to start now; the tick count has then been reset
  // already, so ticks that arrive during that cycle count towards the next refresh. A refresh
  // that falls due while `cycle_running` is skipped: the count restarts all the same and the
  // answer is false, since only one cycle may be in progress at a time.
  bool OnRefreshTick(bool cycle_running);

  // Ticks since the last timed refresh fell due; never above kRefreshThreshold.
  int RefreshTicks() const { return refresh_ticks_; }

 private:
  int refresh_ticks_ = 0;
};

}  // namespace kalvane
