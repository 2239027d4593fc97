#pragma once

#include <optional>

namespace kalvane {

// The two icon pictures of the main window: the steady icon of a good update (`Picture1`) and
// the one of a failed transfer (`Picture2`). Blinking alternates between them.
enum class IconChoice { Picture1, Picture2 };

// Intervals of the main window's two timers, fixed for the life of the window.
inline constexpr unsigned kTimer1IntervalMs = 1000;
inline constexpr unsigned kTimer2IntervalMs = 500;

// A timed refresh starts on the tick that takes the tick count above this, the 301st.
inline constexpr int RefreshThreshold = 300;

// The timed refresh rule, driven by the one-second timer. Ticks count in every state of the
// program, also while a cycle waits for the network; cycles started elsewhere (start-up, Save)
// do not move the next timed refresh.
class RefreshSchedule {
 public:
  // One tick of `Timer1`. True when a timed cycle is to start now; the tick count has then been
  // reset already, so ticks that arrive during that cycle count towards the next refresh. A
  // refresh that falls due while `cycle_running` is skipped: the count restarts all the same and
  // the answer is false, since only one cycle may be in progress at a time.
  bool Timer1_Timer(bool cycle_running);

  // Ticks since the last timed refresh fell due; never above RefreshThreshold.
  int RefreshTicks() const { return refresh_ticks_; }

 private:
  int refresh_ticks_ = 0;
};

// The status rule that turns each cycle's result into the tray icon's state: steady `Picture1`
// (0), steady `Picture2` (2) or blinking (any other result, in practice 1). `Current()` is the
// icon handle the tray record is to hold; every choice that returns an icon is to be written
// there and followed by a tray modify call.
class StatusIcon {
 public:
  // Records `result` as LastUpdateResult and stops the blinking. Returns the steady icon to set
  // (sent again after every cycle, also when unchanged), or nothing when the blinking starts: the
  // blink timer is then to be restarted, so the first blink comes one full interval later.
  std::optional<IconChoice> ShowUpdateStatus(int result);

  // One tick of `Timer2`: the icon to show next, or nothing when blinking is off (a tick that was
  // already queued when it stopped). Starts with `Picture2` after the window's creation; later
  // blinking goes on from wherever the previous one stopped.
  std::optional<IconChoice> Timer2_Timer();

  // Whether `Timer2` is enabled. It is from the window's creation until the first result.
  bool BlinkEnabled() const { return blink_enabled_; }
  // Which icon the next blink shows: true `Picture1`, false `Picture2`.
  bool BlinkPhase() const { return blink_phase_; }
  // The icon last chosen; start-up's `Picture1` until a result or a blink changes it.
  IconChoice Current() const { return current_; }
  int LastUpdateResult() const { return last_update_result_; }

 private:
  IconChoice SetStatusIcon(IconChoice picture);

  int last_update_result_ = 0;
  bool blink_enabled_ = true;
  bool blink_phase_ = false;
  IconChoice current_ = IconChoice::Picture1;
};

}  // namespace kalvane
