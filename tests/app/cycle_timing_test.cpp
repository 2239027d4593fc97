#include "app/cycle_timing.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <utility>
#include <vector>

namespace kalvane {
namespace {

using Trigger = CycleTrigger;
enum class Event { kSave, kWake, kNetworkUp };
using Start = std::pair<int, Trigger>;  // the second a cycle started at, and why

constexpr int kNever = std::numeric_limits<int>::max();

struct Scenario {
  const char* name;
  int cycle_seconds;                 // how long every cycle waits before it ends
  int answers_from;                  // a cycle that ends at or after this second gets an answer
  std::multimap<int, Event> events;  // at whole seconds after the start
  int until;
  std::vector<Start> starts;
  std::vector<std::pair<int, Start>> next;  // at a second (after its tick): the next due cycle
};

// The program as the controller drives the rule: a start-up cycle at second 0, a tick every
// second, a cycle started at once when an event answers one and ended `cycle_seconds` later.
// Within a second the running cycle ends first, then the events come, then the tick.
void RunScenario(const Scenario& s) {
  const CycleTiming::TimePoint t0{std::chrono::hours(1000)};
  const auto at = [&](int second) { return t0 + std::chrono::seconds(second); };
  CycleTiming timing(t0);
  std::vector<Start> starts;
  int ends_at = -1;
  const auto start = [&](int second, Trigger trigger) {
    if (trigger == Trigger::kNone) return;
    ASSERT_FALSE(timing.CycleRunning()) << "two cycles at once at " << second;
    starts.emplace_back(second, trigger);
    timing.OnCycleStarted(at(second), trigger);
    ends_at = second + s.cycle_seconds;
  };
  start(0, Trigger::kStartUp);
  for (int second = 0; second <= s.until; ++second) {
    if (second == ends_at) {
      start(second, timing.OnCycleEnded(at(second), second >= s.answers_from));
    }
    const auto [first, last] = s.events.equal_range(second);
    for (auto event = first; event != last; ++event) {
      if (event->second == Event::kSave) start(second, timing.OnSaved(at(second)));
      if (event->second == Event::kWake) timing.OnWake(at(second));
      if (event->second == Event::kNetworkUp) timing.OnNetworkUp(at(second));
    }
    if (second > 0) start(second, timing.OnTick(at(second)));
    for (const auto& [when, expected] : s.next) {
      if (when != second) continue;
      const CycleTiming::NextCycle next = timing.Next();
      EXPECT_EQ(Start(std::chrono::duration_cast<std::chrono::seconds>(next.due - t0).count(),
                      next.trigger),
                expected)
          << "next cycle as seen at " << second;
    }
  }
  EXPECT_EQ(starts, s.starts);
}

TEST(CycleTimingTest, EventsAndTheCyclesTheyStart) {
  using enum Trigger;
  // clang-format off
  const Scenario scenarios[] = {
      {"the service comes up at 25 s: retries after 10 and 20 s, then the regular rhythm",
       1, 25, {}, 700,
       {{0, kStartUp}, {11, kQuickRetry}, {32, kQuickRetry}, {301, kRegularRefresh},
        {602, kRegularRefresh}},
       {{5, {11, kQuickRetry}}, {40, {301, kRegularRefresh}}}},
      {"no answer ever: five retries (the regular refresh takes the last one's place), then only "
       "the regular refresh; a Save runs at once, starts the retries afresh, keeps the rhythm",
       1, kNever, {{700, Event::kSave}}, 1100,
       {{0, kStartUp}, {11, kQuickRetry}, {32, kQuickRetry}, {73, kQuickRetry},
        {154, kQuickRetry}, {301, kRegularRefresh}, {602, kRegularRefresh}, {700, kSave},
        {711, kQuickRetry}, {732, kQuickRetry}, {773, kQuickRetry}, {854, kQuickRetry},
        {903, kRegularRefresh}},
       {{200, {301, kRegularRefresh}}, {860, {903, kRegularRefresh}}}},
      {"the two messages of one wake make one cycle, a burst of network changes one more",
       1, 0,
       {{120, Event::kWake}, {120, Event::kWake}, {200, Event::kNetworkUp},
        {201, Event::kNetworkUp}, {202, Event::kNetworkUp}},
       400, {{0, kStartUp}, {123, kWake}, {205, kNetworkUp}, {301, kRegularRefresh}},
       {{121, {123, kWake}}, {203, {205, kNetworkUp}}}},
      {"a network cycle without an answer restarts the retries; an answer ends them",
       1, 50, {{20, Event::kNetworkUp}}, 400,
       {{0, kStartUp}, {11, kQuickRetry}, {23, kNetworkUp}, {34, kQuickRetry},
        {55, kQuickRetry}, {301, kRegularRefresh}},
       {}},
      {"long cycles: a Save during one runs right after it, a refresh due during one is "
       "skipped, a wake during one that answers needs no cycle of its own",
       70, 0, {{5, Event::kSave}, {250, Event::kSave}, {310, Event::kWake}}, 650,
       {{0, kStartUp}, {70, kSave}, {250, kSave}, {602, kRegularRefresh}},
       {{100, {301, kRegularRefresh}}}},
      {"a wake during a cycle that gets no answer runs right after it",
       70, 100, {{30, Event::kWake}}, 400,
       {{0, kStartUp}, {70, kWake}, {301, kRegularRefresh}}, {}},
  };
  // clang-format on
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    RunScenario(scenario);
  }
}

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
