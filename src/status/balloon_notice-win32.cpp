#include "status/balloon_notice-win32.h"

#include "platform/wide_text-win32.h"
#include "status/balloon_setting-win32.h"

namespace kalvane {
namespace {

// The user's choice; on when the registry cannot be read, as when no choice was made.
bool BalloonsChosenOn() {
  const Result<bool> on = ReadBalloonsOn();
  return !on.ok() || *on;
}

}  // namespace

BalloonNotice::BalloonNotice(TrayIcon& tray) : tray_(tray), on_(BalloonsChosenOn()) {}

void BalloonNotice::Observe(UpdateCondition condition, std::u16string_view words) {
  rule_.Observe(condition, words);
  TellDue();
}

void BalloonNotice::OnTick() { TellDue(); }

void BalloonNotice::Toggle() {
  on_ = !on_;
  (void)WriteBalloonsOn(on_);  // not kept: the choice holds for this run
}

void BalloonNotice::TellDue() {
  const MonotonicClock::time_point now = MonotonicClock::now();
  const std::optional<Balloon> due = rule_.Due(now);
  if (!due) return;
  if (!on_) {
    rule_.Drop();
    return;
  }
  const bool warning = due->condition != UpdateCondition::kWorking;
  if (tray_.ShowBalloon(ToWide(due->title), ToWide(due->text), warning)) rule_.Shown(now);
}

}  // namespace kalvane
