#include "app/update_controller.h"

#include "base/scoped_flag.h"

namespace kalvane {

bool UpdateController::StartUp() {
  RunCycles();
  if (phase_ == Phase::kStarting) phase_ = Phase::kLive;
  return phase_ == Phase::kLive;
}

void UpdateController::OnSaved() {
  if (Closing()) return;
  if (cycle_running_) {
    save_pending_ = true;
    return;
  }
  RunCycles();
}

void UpdateController::OnRefreshTick() {
  if (schedule_.OnRefreshTick(cycle_running_) && !Closing()) RunCycles();
}

void UpdateController::Close() {
  if (phase_ >= Phase::kDestroyPending) return;
  CleanUpOnce();
  if (cycle_running_) {
    phase_ = Phase::kDestroyPending;  // the waiting cycle unwinds first, then the window goes
    return;
  }
  phase_ = Phase::kDestroyed;
  host_.DestroyMainWindow();
}

void UpdateController::EndSession(bool ending) {
  if (ending) CleanUpOnce();
}

void UpdateController::RunCycles() {
  if (Closing() || cycle_running_) return;
  {
    ScopedFlag running(cycle_running_);
    do {
      save_pending_ = false;
      const std::optional<UpdateResult> result = cycle_.UpdateDomains(account_);
      if (result && !Closing()) host_.ShowUpdateStatus(cycle_.LastReport());
    } while (save_pending_ && !Closing());
  }
  if (phase_ == Phase::kDestroyPending) {
    phase_ = Phase::kDestroyed;
    host_.DestroyMainWindow();
  }
}

void UpdateController::CleanUpOnce() {
  if (Closing()) return;
  phase_ = Phase::kCleanedUp;
  host_.ShowCleanUp(cycle_.EndAndClearSection());
}

}  // namespace kalvane
