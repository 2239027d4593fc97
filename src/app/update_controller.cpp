#include "app/update_controller.h"

namespace kalvane {

bool UpdateController::StartUp() {
  RunCycles(CycleTrigger::kStartUp);
  if (phase_ == Phase::kStarting) phase_ = Phase::kLive;
  return phase_ == Phase::kLive;
}

void UpdateController::OnSaved() {
  if (Closing()) return;
  RunCycles(timing_.OnSaved(Now()));  // nothing while a cycle waits: it follows that one
}

void UpdateController::OnRefreshTick() {
  const CycleTrigger due = timing_.OnTick(Now());
  if (!Closing()) RunCycles(due);
}

void UpdateController::OnWake() {
  if (!Closing()) timing_.OnWake(Now());
}

void UpdateController::OnNetworkUp() {
  if (!Closing()) timing_.OnNetworkUp(Now());
}

void UpdateController::Close() {
  if (phase_ >= Phase::kDestroyPending) return;
  CleanUpOnce();
  if (timing_.CycleRunning()) {
    phase_ = Phase::kDestroyPending;  // the waiting cycle unwinds first, then the window goes
    return;
  }
  phase_ = Phase::kDestroyed;
  host_.DestroyMainWindow();
}

void UpdateController::EndSession(bool ending) {
  if (ending) CleanUpOnce();
}

void UpdateController::RunCycles(CycleTrigger trigger) {
  if (Closing() || timing_.CycleRunning()) return;
  while (trigger != CycleTrigger::kNone && !Closing()) {
    timing_.OnCycleStarted(Now(), trigger);
    if (trigger == CycleTrigger::kRegularRefresh) restore_.OnRegularCycle();
    const std::optional<UpdateResult> result = cycle_.UpdateDomains(account_);
    const CycleReport& report = cycle_.LastReport();
    if (result && report.Hosts()) restore_.OnHostsStep(*report.Hosts());
    // An account that cannot be sent is no network failure: asking again soon changes nothing.
    const bool answered = !result || report.Answered() || !report.AccountSent();
    trigger = timing_.OnCycleEnded(Now(), answered);
    if (result && !Closing()) observer_.OnCycleEnded(report);
  }
  if (phase_ == Phase::kDestroyPending) {
    phase_ = Phase::kDestroyed;
    host_.DestroyMainWindow();
  }
}

void UpdateController::CleanUpOnce() {
  if (Closing()) return;
  phase_ = Phase::kCleanedUp;
  restore_.Stop();
  observer_.OnCleanUp(cycle_.EndAndClearSection());
}

}  // namespace kalvane
