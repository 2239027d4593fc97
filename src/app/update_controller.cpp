#include "app/update_controller.h"

#include "base/scoped_flag.h"

namespace kalvane {

std::optional<UpdateResult> RunAccountCycle(UpdateCycle& cycle, const AccountForm& form,
                                            const AnsiCodePage& code_page) {
  const AccountBoxes boxes = form.Current();
  const AccountView account{boxes.updating_enabled, boxes.domain, boxes.password,
                            boxes.password_is_digest};
  RequestEncoding encoding;
  encoding.encode_text = [&code_page](std::u16string_view text) { return code_page.Encode(text); };
  encoding.digest_password = [&code_page](std::u16string_view text) {
    return PasswordDigest(text, code_page);
  };
  return cycle.UpdateDomains(account, encoding);
}

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
  host_.DestroyWindow();
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
      const std::optional<UpdateResult> result = host_.RunUpdateCycle();
      if (result && !Closing()) host_.ShowUpdateStatus(*result);
    } while (save_pending_ && !Closing());
  }
  if (phase_ == Phase::kDestroyPending) {
    phase_ = Phase::kDestroyed;
    host_.DestroyWindow();
  }
}

void UpdateController::CleanUpOnce() {
  if (Closing()) return;
  phase_ = Phase::kCleanedUp;
  host_.CleanUp();
}

}  // namespace kalvane
