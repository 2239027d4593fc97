#include "tray/status_icon.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalvane {
namespace {

// Ticks `schedule` `count` times and returns the (1-based) ticks that started a cycle.
std::vector<int> TicksThatStart(RefreshSchedule& schedule, int count, bool cycle_running = false) {
  std::vector<int> starts;
  for (int tick = 1; tick <= count; ++tick) {
    if (schedule.Timer1_Timer(cycle_running)) starts.push_back(tick);
  }
  return starts;
}

TEST(RefreshScheduleTest, TimedRefreshOnEvery301stTick) {
  RefreshSchedule schedule;
  EXPECT_EQ(schedule.RefreshTicks(), 0);
  EXPECT_EQ(TicksThatStart(schedule, 300), std::vector<int>{});
  EXPECT_EQ(schedule.RefreshTicks(), 300);
  EXPECT_TRUE(schedule.Timer1_Timer(false));
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

TEST(StatusIconTest, ResultsGiveSteadyIconsOrBlinking) {
  StatusIcon status;
  EXPECT_TRUE(status.BlinkEnabled()) << "Timer2 runs from the window's creation";
  EXPECT_EQ(status.Current(), IconChoice::Picture1);
  EXPECT_EQ(status.LastUpdateResult(), 0);

  EXPECT_EQ(status.ShowUpdateStatus(0), IconChoice::Picture1);
  EXPECT_FALSE(status.BlinkEnabled());
  EXPECT_EQ(status.Timer2_Timer(), std::nullopt) << "a tick queued before the stop changes nothing";
  EXPECT_EQ(status.Current(), IconChoice::Picture1);

  // Two equal results send the same steady icon twice.
  EXPECT_EQ(status.ShowUpdateStatus(2), IconChoice::Picture2);
  EXPECT_EQ(status.ShowUpdateStatus(2), IconChoice::Picture2);
  EXPECT_EQ(status.LastUpdateResult(), 2);
  EXPECT_FALSE(status.BlinkEnabled());

  // Result 1 (and any other value) leaves the icon alone until the first blink tick.
  EXPECT_EQ(status.ShowUpdateStatus(1), std::nullopt);
  EXPECT_TRUE(status.BlinkEnabled());
  EXPECT_EQ(status.Current(), IconChoice::Picture2);
  EXPECT_EQ(status.LastUpdateResult(), 1);
  EXPECT_EQ(status.ShowUpdateStatus(-7), std::nullopt);
  EXPECT_TRUE(status.BlinkEnabled());
  EXPECT_EQ(status.LastUpdateResult(), -7);
}

TEST(StatusIconTest, BlinkingAlternatesAndStopsOnTheSteadyIcon) {
  StatusIcon status;
  // Blinking from creation: Picture2 first, then strictly alternating.
  EXPECT_EQ(status.Timer2_Timer(), IconChoice::Picture2);
  EXPECT_EQ(status.Current(), IconChoice::Picture2);
  EXPECT_EQ(status.Timer2_Timer(), IconChoice::Picture1);
  EXPECT_EQ(status.Timer2_Timer(), IconChoice::Picture2);
  EXPECT_TRUE(status.BlinkPhase());

  // Stopping with result 0 while Picture2 shows, and with 2 while Picture1 shows.
  EXPECT_EQ(status.ShowUpdateStatus(0), IconChoice::Picture1);
  EXPECT_TRUE(status.BlinkPhase()) << "the phase is kept while blinking is off";
  EXPECT_EQ(status.ShowUpdateStatus(1), std::nullopt);
  EXPECT_EQ(status.Current(), IconChoice::Picture1);
  EXPECT_EQ(status.Timer2_Timer(), IconChoice::Picture1) << "goes on from the previous phase";
  EXPECT_EQ(status.ShowUpdateStatus(2), IconChoice::Picture2);
  EXPECT_EQ(status.Current(), IconChoice::Picture2);
  EXPECT_EQ(status.Timer2_Timer(), std::nullopt);
  EXPECT_EQ(status.Current(), IconChoice::Picture2);
}

}  // namespace
}  // namespace kalvane
