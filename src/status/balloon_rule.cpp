#include "status/balloon_rule.h"

namespace kalvane {
namespace {

std::u16string_view Title(UpdateCondition condition) {
  switch (condition) {
    case UpdateCondition::kWorking:
      return u"Kalvane 更新恢复正常";
    case UpdateCondition::kFailing:
      return u"Kalvane 更新失败";
    case UpdateCondition::kUnconfirmed:
      return u"Kalvane 账号未确认";
    case UpdateCondition::kRestorePaused:
      return u"Kalvane 已暂停恢复";
  }
  return u"Kalvane";
}

}  // namespace

void BalloonRule::Observe(UpdateCondition condition, std::u16string_view words) {
  if (!told_ && condition == UpdateCondition::kWorking) told_ = condition;  // a good start
  if (told_ == condition) {
    waiting_.reset();  // back where the user was last told: nothing to say
    return;
  }
  waiting_ = Balloon{condition, std::u16string(Title(condition)), std::u16string(words)};
}

std::optional<Balloon> BalloonRule::Due(MonotonicClock::time_point now) const {
  if (!waiting_) return std::nullopt;
  if (last_shown_ && now - *last_shown_ < kBalloonSpacing) return std::nullopt;
  return waiting_;
}

void BalloonRule::Shown(MonotonicClock::time_point now) {
  last_shown_ = now;
  Drop();
}

void BalloonRule::Drop() {
  if (waiting_) told_ = waiting_->condition;
  waiting_.reset();
}

}  // namespace kalvane
