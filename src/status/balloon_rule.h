#pragma once

// When the tray tells the user something on its own: only when the state of the updates changes
// (they start failing, work again, the account is not confirmed, restoring pauses), never for an
// ordinary success or for another failure of a state already told, and at most once a minute.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "base/event_pump.h"

namespace kalvane {

enum class UpdateCondition { kWorking, kFailing, kUnconfirmed, kRestorePaused };

struct Balloon {
  UpdateCondition condition;
  std::u16string title;
  std::u16string text;  // the outcome in the status window's words
  bool operator==(const Balloon&) const = default;
};

inline constexpr std::chrono::seconds kBalloonSpacing{60};

class BalloonRule {
 public:
  // An outcome in condition `condition`, `words` as the status window says it. A start that
  // works tells nothing; any other change of condition waits to be told.
  void Observe(UpdateCondition condition, std::u16string_view words);
  // The balloon to show at `now`: the latest change not told yet, once a minute has passed since
  // the last balloon shown. Nothing when there is none or it must wait.
  std::optional<Balloon> Due(MonotonicClock::time_point now) const;
  // The balloon Due gave was shown at `now`.
  void Shown(MonotonicClock::time_point now);
  // The balloon Due gave is not to be shown (balloons are off): it counts as told.
  void Drop();

 private:
  std::optional<UpdateCondition> told_;  // nothing before the first outcome
  std::optional<Balloon> waiting_;
  std::optional<MonotonicClock::time_point> last_shown_;
};

}  // namespace kalvane
