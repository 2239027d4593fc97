#include "http/connect_race.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalvane {
namespace {

enum class Event { kBegin, kTimer, kConnected, kFailed };

struct Step {
  int at_ms;
  Event event;
  std::size_t address;
  // "+i" start address i, "=i" use its socket, "-i" close it, "!" all failed, "@t" the next
  // start is due at t ms.
  std::string expected;
};

struct Case {
  const char* name;
  std::vector<int> families;
  std::vector<Step> steps;
};

std::string Describe(const RaceActions& actions, const ConnectRace& race) {
  std::string text;
  auto add = [&text](const std::string& item) { text += (text.empty() ? "" : " ") + item; };
  for (std::size_t i : actions.start) add("+" + std::to_string(i));
  if (actions.use) add("=" + std::to_string(*actions.use));
  for (std::size_t i : actions.close) add("-" + std::to_string(i));
  if (actions.failed) add("!");
  if (race.NextStart()) {
    const auto due = std::chrono::duration_cast<std::chrono::milliseconds>(*race.NextStart() -
                                                                           ConnectRace::Time{});
    add("@" + std::to_string(due.count()));
  }
  return text;
}

TEST(ConnectRace, StartsClosesAndUsesSocketsByTimeAndEvents) {
  constexpr Event B = Event::kBegin, T = Event::kTimer, C = Event::kConnected, F = Event::kFailed;
  const std::vector<Case> cases = {
      {"a single address is used", {6}, {{0, B, 0, "+0"}, {40, C, 0, "=0"}}},
      {"a single refused address fails the attempt", {4}, {{0, B, 0, "+0"}, {5, F, 0, "!"}}},
      {"no address fails at once", {}, {{0, B, 0, "!"}}},
      {"a refused first address moves on to the second at once",
       {6, 4},
       {{0, B, 0, "+0 @250"}, {3, F, 0, "+1"}, {9, C, 1, "=1"}}},
      {"the second wins while the first is silent, which is closed",
       {6, 4},
       {{0, B, 0, "+0 @250"}, {249, T, 0, "@250"}, {250, T, 0, "+1"}, {262, C, 1, "=1 -0"}}},
      {"a late success of a losing socket is closed, not used",
       {6, 4, 4},
       {{0, B, 0, "+0 @250"},
        {250, T, 0, "+1 @500"},
        {300, C, 1, "=1 -0"},
        {310, C, 0, "-0"},
        {500, T, 0, ""},
        {510, F, 0, ""}}},
      {"families alternate from the first address's family, each in the resolver's order",
       {6, 6, 4, 4, 4},
       {{0, B, 0, "+0 @250"},
        {250, T, 0, "+2 @500"},
        {500, T, 0, "+1 @750"},
        {750, T, 0, "+3 @1000"},
        {1000, T, 0, "+4"},
        {1200, C, 1, "=1 -0 -2 -3 -4"}}},
      {"a failure starts the next at once and the stagger counts from there",
       {4, 4, 4},
       {{0, B, 0, "+0 @250"}, {100, F, 0, "+1 @350"}, {250, T, 0, "@350"}, {350, T, 0, "+2"}}},
      {"the attempt fails when the last address in flight fails",
       {6, 4},
       {{0, B, 0, "+0 @250"},
        {250, T, 0, "+1"},
        {260, F, 1, ""},
        {261, F, 1, ""},  // a second report of the same failure changes nothing
        {900, F, 0, "!"},
        {901, C, 0, "-0"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConnectRace race(c.families);
    for (const Step& step : c.steps) {
      const ConnectRace::Time now = ConnectRace::Time{} + std::chrono::milliseconds(step.at_ms);
      RaceActions actions;
      switch (step.event) {
        case Event::kBegin:
          actions = race.Begin(now);
          break;
        case Event::kTimer:
          actions = race.OnTimer(now);
          break;
        case Event::kConnected:
          actions = race.OnConnected(step.address);
          break;
        case Event::kFailed:
          actions = race.OnFailed(step.address, now);
          break;
      }
      EXPECT_EQ(Describe(actions, race), step.expected) << "at " << step.at_ms << " ms";
    }
  }
}

// Which address goes first, and in what order the rest follow when each fails at once.
std::vector<std::size_t> StartOrder(const std::vector<int>& families,
                                    std::optional<std::size_t> avoid) {
  ConnectRace race(families, avoid);
  std::vector<std::size_t> started;
  RaceActions actions = race.Begin(ConnectRace::Time{});
  while (!actions.failed && !actions.start.empty()) {
    started.push_back(actions.start.front());
    actions = race.OnFailed(actions.start.front(), ConnectRace::Time{});
  }
  return started;
}

TEST(ConnectRace, AnAvoidedAddressGoesLastAndTheOtherFamilyFirst) {
  const std::optional<std::size_t> none;
  const struct {
    std::vector<int> families;
    std::optional<std::size_t> avoid;
    std::vector<std::size_t> order;
  } cases[] = {
      {{6, 4}, none, {0, 1}},
      {{6, 4}, 0, {1, 0}},
      {{6, 4}, 1, {0, 1}},
      {{6, 6, 4, 4}, 0, {2, 1, 3, 0}},
      {{6, 6, 4, 4}, 1, {2, 0, 3, 1}},
      {{6, 6, 4, 4}, 2, {0, 3, 1, 2}},
      {{4, 4, 4}, 0, {1, 2, 0}},  // one family: the others first
      {{6}, 0, {0}},              // nothing else to try
      {{6, 4}, 7, {0, 1}},        // not in the list: the resolver's order
      {{6, 4}, 2, {0, 1}},        // just past its end, likewise
      // The avoided one counts in its family's kMaxAddressesPerFamily, even from beyond the cap.
      {std::vector<int>(10, 4), 9, {0, 1, 2, 3, 4, 5, 6, 9}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StartOrder(c.families, c.avoid), c.order)
        << ::testing::PrintToString(c.families) << " avoiding "
        << (c.avoid ? std::to_string(*c.avoid) : "none");
  }
}

// A name with thousands of addresses that all fail at once costs the first kMaxAddressesPerFamily
// of each family, then the attempt fails.
TEST(ConnectRace, TriesOnlyTheFirstFewAddressesOfEachFamily) {
  std::vector<int> families(20000, 4);
  for (std::size_t i = 0; i < families.size(); i += 3) families[i] = 6;
  ConnectRace race(families);
  std::vector<std::size_t> started;
  RaceActions actions = race.Begin(ConnectRace::Time{});
  while (!actions.failed && !actions.start.empty()) {
    started.push_back(actions.start.front());
    actions = race.OnFailed(actions.start.front(), ConnectRace::Time{});
  }
  EXPECT_TRUE(actions.failed);
  EXPECT_EQ(started,
            (std::vector<std::size_t>{0, 1, 3, 2, 6, 4, 9, 5, 12, 7, 15, 8, 18, 10, 21, 11}));
}

}  // namespace
}  // namespace kalvane
