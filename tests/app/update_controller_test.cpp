#include "app/update_controller.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace kalvane {
namespace {

// A window stand-in: each cycle runs `during_cycle` (events delivered while it waits) and
// returns `result`.
class FakeHost final : public UpdateControllerHost {
 public:
  std::optional<UpdateResult> RunUpdateCycle() override {
    ++cycles;
    if (during_cycle) std::exchange(during_cycle, nullptr)();
    return result;
  }
  void ShowUpdateStatus(UpdateResult shown_result) override { shown.push_back(shown_result); }
  void CleanUp() override { ++clean_ups; }
  void DestroyWindow() override { ++destroys; }

  std::function<void()> during_cycle;
  UpdateResult result = UpdateResult::kNoFailure;
  int cycles = 0;
  int clean_ups = 0;
  int destroys = 0;
  std::vector<UpdateResult> shown;
};

TEST(UpdateController, StartUpRunsOneCycleAndShowsItsResult) {
  FakeHost host;
  UpdateController controller(host);
  EXPECT_FALSE(controller.Live());
  host.result = UpdateResult::kTransferFailed;
  EXPECT_TRUE(controller.StartUp());
  EXPECT_TRUE(controller.Live());
  EXPECT_EQ(host.cycles, 1);
  EXPECT_EQ(host.shown, std::vector<UpdateResult>{UpdateResult::kTransferFailed});
}

TEST(UpdateController, SavesDuringACycleMergeIntoOneMoreAndADueRefreshIsSkipped) {
  FakeHost host;
  UpdateController controller(host);
  ASSERT_TRUE(controller.StartUp());
  host.during_cycle = [&] {
    EXPECT_TRUE(controller.CycleRunning());
    controller.OnSaved();
    controller.OnSaved();
    for (int tick = 0; tick <= kRefreshThreshold; ++tick) controller.OnRefreshTick();
  };
  controller.OnSaved();
  EXPECT_EQ(host.cycles, 3) << "start-up, the Save, and one merged Save; no timed refresh";
  EXPECT_EQ(host.shown.size(), 3u);
  EXPECT_FALSE(controller.CycleRunning());

  for (int tick = 0; tick < kRefreshThreshold; ++tick) controller.OnRefreshTick();
  EXPECT_EQ(host.cycles, 3);
  controller.OnRefreshTick();
  EXPECT_EQ(host.cycles, 4) << "the 301st tick";
}

TEST(UpdateController, ClosingDuringACycleCleansUpAtOnceAndDestroysAfterIt) {
  FakeHost host;
  UpdateController controller(host);
  host.during_cycle = [&] {
    controller.OnSaved();
    controller.Close();
    EXPECT_EQ(host.clean_ups, 1) << "clean-up does not wait for the cycle";
    EXPECT_EQ(host.destroys, 0) << "the waiting cycle unwinds first";
    EXPECT_TRUE(controller.Closing());
    controller.Close();
  };
  EXPECT_FALSE(controller.StartUp()) << "a window closed during start-up is never shown";
  EXPECT_EQ(host.cycles, 1) << "the merged Save does not run after closing";
  EXPECT_TRUE(host.shown.empty()) << "no result is shown after the clean-up";
  EXPECT_EQ(host.clean_ups, 1);
  EXPECT_EQ(host.destroys, 1);

  controller.OnSaved();
  controller.OnRefreshTick();
  controller.Close();
  EXPECT_EQ(host.cycles, 1);
  EXPECT_EQ(host.destroys, 1);
}

TEST(UpdateController, SessionEndCleansUpOnceAndLeavesTheWindow) {
  FakeHost host;
  UpdateController controller(host);
  ASSERT_TRUE(controller.StartUp());
  controller.EndSession(false);
  EXPECT_EQ(host.clean_ups, 0) << "a session end that was cancelled changes nothing";
  controller.EndSession(true);
  controller.EndSession(true);
  EXPECT_EQ(host.clean_ups, 1);
  EXPECT_EQ(host.destroys, 0);
  EXPECT_FALSE(controller.Live());
  controller.OnSaved();
  EXPECT_EQ(host.cycles, 1) << "no cycle after the clean-up";
  controller.Close();
  EXPECT_EQ(host.clean_ups, 1);
  EXPECT_EQ(host.destroys, 1);
}

}  // namespace
}  // namespace kalvane
