#include "app/cycle_timing.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace kalvane {
namespace {

constexpr int kRetryCount = static_cast<int>(kQuickRetryDelays.size());

}  // namespace

bool RefreshSchedule::OnRefreshTick(bool cycle_running) {
  ++refresh_ticks_;
  if (refresh_ticks_ <= kRefreshThreshold) return false;
  refresh_ticks_ = 0;
  return !cycle_running;
}

CycleTrigger CycleTiming::OnSaved(TimePoint) {
  if (!CycleRunning()) return CycleTrigger::kSave;
  save_pending_ = true;
  return CycleTrigger::kNone;
}

void CycleTiming::Unsettled(TimePoint now, CycleTrigger trigger) {
  if (settle_trigger_ == CycleTrigger::kNone) {
    settle_trigger_ = trigger;
    settle_first_ = now;
    settle_due_ = now + kSettleDelay;
    return;
  }
  settle_due_ = std::min(now + kSettleDelay, settle_first_ + kSettleLimit);
}

bool CycleTiming::SettleDue(TimePoint now) const {
  return settle_trigger_ != CycleTrigger::kNone && now >= settle_due_;
}

CycleTrigger CycleTiming::OnTick(TimePoint now) {
  last_tick_ = now;
  // The tick counts towards the regular refresh in every state, a running cycle included.
  const bool regular = schedule_.OnRefreshTick(CycleRunning());
  if (CycleRunning()) return CycleTrigger::kNone;
  if (regular) return CycleTrigger::kRegularRefresh;
  if (SettleDue(now)) return settle_trigger_;
  if (retry_due_ && now >= *retry_due_) return CycleTrigger::kQuickRetry;
  return CycleTrigger::kNone;
}

void CycleTiming::OnCycleStarted(TimePoint, CycleTrigger trigger) {
  running_ = trigger;
  // This cycle reads the account now and asks the network now: whatever was waiting is answered.
  save_pending_ = false;
  settle_trigger_ = CycleTrigger::kNone;
  retry_due_.reset();
}

CycleTrigger CycleTiming::OnCycleEnded(TimePoint now, bool answered) {
  const CycleTrigger ended = std::exchange(running_, CycleTrigger::kNone);
  if (answered) {
    retry_sequence_ = false;
    retries_ = 0;
  } else if (!retry_sequence_ ||
             (ended != CycleTrigger::kRegularRefresh && ended != CycleTrigger::kQuickRetry)) {
    // The first failure since an answer, or one of a cycle the user or the system asked for:
    // the retries start afresh.
    retry_sequence_ = true;
    retries_ = 0;
    retry_due_ = now + kQuickRetryDelays[0];
  } else if (retries_ < kRetryCount) {
    // A retry failed, or a regular refresh took its place: on to the next wait, or, after the
    // last, to the regular refresh alone.
    if (++retries_ < kRetryCount)
      retry_due_ = now + kQuickRetryDelays[static_cast<std::size_t>(retries_)];
  }

  if (save_pending_) return CycleTrigger::kSave;
  if (answered) {
    settle_trigger_ = CycleTrigger::kNone;  // the network works, and the list is fresh
  } else if (SettleDue(now)) {
    return settle_trigger_;
  }
  return CycleTrigger::kNone;
}

CycleTiming::NextCycle CycleTiming::Next() const {
  const auto ticks_left = kRefreshThreshold + 1 - schedule_.RefreshTicks();
  NextCycle next{CycleTrigger::kRegularRefresh,
                 last_tick_ + ticks_left * std::chrono::milliseconds(kRefreshTickMs)};
  if (CycleRunning()) return next;
  if (settle_trigger_ != CycleTrigger::kNone && settle_due_ < next.due) {
    next = {settle_trigger_, settle_due_};
  }
  if (retry_due_ && *retry_due_ < next.due) next = {CycleTrigger::kQuickRetry, *retry_due_};
  return next;
}

}  // namespace kalvane
