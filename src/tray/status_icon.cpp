#include "tray/status_icon.h"

namespace kalvane {

bool RefreshSchedule::Timer1_Timer(bool cycle_running) {
  ++refresh_ticks_;
  if (refresh_ticks_ <= RefreshThreshold) return false;
  refresh_ticks_ = 0;
  return !cycle_running;
}

std::optional<IconChoice> StatusIcon::ShowUpdateStatus(int result) {
  last_update_result_ = result;
  blink_enabled_ = false;
  if (last_update_result_ == 0) return SetStatusIcon(IconChoice::Picture1);
  if (last_update_result_ == 2) return SetStatusIcon(IconChoice::Picture2);
  blink_enabled_ = true;
  return std::nullopt;
}

std::optional<IconChoice> StatusIcon::Timer2_Timer() {
  if (!blink_enabled_) return std::nullopt;
  IconChoice next = blink_phase_ ? IconChoice::Picture1 : IconChoice::Picture2;
  blink_phase_ = !blink_phase_;
  return SetStatusIcon(next);
}

IconChoice StatusIcon::SetStatusIcon(IconChoice picture) {
  current_ = picture;
  return current_;
}

}  // namespace kalvane
