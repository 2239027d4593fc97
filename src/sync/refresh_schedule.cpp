#include "sync/refresh_schedule.h"

namespace kalvane {

bool RefreshSchedule::OnRefreshTick(bool cycle_running) {
  ++refresh_ticks_;
  if (refresh_ticks_ <= kRefreshThreshold) return false;
  refresh_ticks_ = 0;
  return !cycle_running;
}

}  // namespace kalvane
