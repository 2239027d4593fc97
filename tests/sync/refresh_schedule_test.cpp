#include "sync/refresh_schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalvane {
namespace {

// Ticks `schedule` `count` times and returns the (1-based) ticks that started a cycle.
std::vector<int> TicksThatStart(RefreshSchedule& schedule, int count, bool cycle_running = false) {
  std::vector<int> starts;
  for (int tick = 1; tick <= count; ++tick) {
    if (schedule.OnRefreshTick(cycle_running)) starts.push_back(tick);
  }
  return starts;
}

TEST(RefreshScheduleTest, TimedRefreshOnEvery301stTick) {
  RefreshSchedule schedule;
  EXPECT_EQ(schedule.RefreshTicks(), 0);
  EXPECT_EQ(TicksThatStart(schedule, 300), std::vector<int>{});
  EXPECT_EQ(schedule.RefreshTicks(), 300);
  EXPECT_TRUE(schedule.OnRefreshTick(false));
  EXPECT_EQ(schedule.RefreshTicks(), 0) << "reset before the cycle starts";
  EXPECT_EQ(TicksThatStart(schedule, 903), (std::vector<int>{301, 602, 903}));
}

TEST(RefreshScheduleTest, TicksDuringACycleCountAndADueRefreshIsSkipped) {
  RefreshSchedule schedule;
  TicksThatStart(schedule, 120);
  // A cycle started by Save or start-up runs for 200 ticks: they count, and nothing moves.
  EXPECT_EQ(TicksThatStart(schedule, 200, /*cycle_running=*/true), std::vector<int>{});
  // The 301st tick fell due inside the cycle: skipped, and the count restarted there.
  EXPECT_EQ(schedule.RefreshTicks(), 19);
  EXPECT_EQ(TicksThatStart(schedule, 400), std::vector<int>{282});

  // A timed cycle that lasts longer than 301 ticks: its own nested ticks count from 0 and the
  // refresh falling due inside it is skipped, not nested and not queued.
  RefreshSchedule long_cycle;
  ASSERT_EQ(TicksThatStart(long_cycle, 301), std::vector<int>{301});
  EXPECT_EQ(TicksThatStart(long_cycle, 360, true), std::vector<int>{});
  EXPECT_EQ(long_cycle.RefreshTicks(), 59);
  EXPECT_EQ(TicksThatStart(long_cycle, 242), std::vector<int>{242});
}

}  // namespace
}  // namespace kalvane
