#include "status/balloon_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalvane {
namespace {

using Condition = UpdateCondition;

// One outcome at a second of the run, or (no outcome) a tick of the one-second timer.
struct Step {
  int second;
  std::optional<Condition> outcome;
};

// A run as the display drives the rule: every outcome and every tick asks for a due balloon,
// and a due one is shown at once. The conditions told, with their seconds.
std::vector<std::pair<int, Condition>> Told(const std::vector<Step>& steps) {
  const MonotonicClock::time_point start{};
  BalloonRule rule;
  std::vector<std::pair<int, Condition>> told;
  for (const Step& step : steps) {
    const MonotonicClock::time_point now = start + std::chrono::seconds(step.second);
    if (step.outcome) rule.Observe(*step.outcome, u"words");
    if (const std::optional<Balloon> due = rule.Due(now)) {
      told.emplace_back(step.second, due->condition);
      rule.Shown(now);
    }
  }
  return told;
}

TEST(BalloonRule, TellsChangesOnlyAndAtMostOnceAMinute) {
  const Condition ok = Condition::kWorking, failing = Condition::kFailing,
                  unconfirmed = Condition::kUnconfirmed, paused = Condition::kRestorePaused;
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::pair<int, Condition>> told;
  };
  const Case cases[] = {
      {"a good start and good cycles tell nothing", {{0, ok}, {301, ok}, {602, ok}}, {}},
      {"a first cycle that fails is told", {{0, failing}}, {{0, failing}}},
      {"a first unconfirmed account is told", {{0, unconfirmed}}, {{0, unconfirmed}}},
      {"failing, quick retries failing again, then recovery",
       {{0, ok}, {301, failing}, {311, failing}, {331, failing}, {371, failing}, {602, ok}},
       {{301, failing}, {602, ok}}},
      {"a recovery within the minute waits for it",
       {{0, ok}, {100, failing}, {110, ok}, {120, std::nullopt}, {160, std::nullopt}},
       {{100, failing}, {160, ok}}},
      {"only the latest waiting state is told",
       {{0, failing}, {10, ok}, {20, unconfirmed}, {61, std::nullopt}},
       {{0, failing}, {61, unconfirmed}}},
      {"a change undone before its turn is not told",
       {{0, failing}, {10, ok}, {20, failing}, {61, std::nullopt}, {200, std::nullopt}},
       {{0, failing}}},
      {"restoring pauses, then the regular refresh works",
       {{0, ok}, {50, paused}, {301, ok}},
       {{50, paused}, {301, ok}}},
      {"unconfirmed stays unconfirmed", {{0, unconfirmed}, {301, unconfirmed}}, {{0, unconfirmed}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Told(c.steps), c.told) << c.name;
  }
}

TEST(BalloonRule, SaysWhatFailedAndCountsADroppedBalloonAsTold) {
  const MonotonicClock::time_point start{};
  BalloonRule rule;
  rule.Observe(Condition::kFailing, u"无法连接服务器：连接超时");
  EXPECT_EQ(rule.Due(start),
            (Balloon{Condition::kFailing, u"Kalvane 更新失败", u"无法连接服务器：连接超时"}));
  // Balloons off: the same state later says nothing; a change does.
  rule.Drop();
  rule.Observe(Condition::kFailing, u"无法连接服务器：连接被拒绝");
  EXPECT_EQ(rule.Due(start), std::nullopt);
  rule.Observe(Condition::kWorking, u"已更新 2 条映射");
  EXPECT_EQ(rule.Due(start)->title, u"Kalvane 更新恢复正常");
}

}  // namespace
}  // namespace kalvane
