#include "tray/status_icon_rule.h"

#include <gtest/gtest.h>

namespace kalvane {
namespace {

TEST(StatusIconRuleTest, ResultsGiveSteadyIconsOrBlinking) {
  StatusIconRule status;
  EXPECT_TRUE(status.BlinkEnabled()) << "the blink timer runs from the window's creation";
  EXPECT_EQ(status.Current(), TrayPicture::kUpdated);
  EXPECT_EQ(status.LastUpdateResult(), UpdateResult::kNoFailure);

  EXPECT_EQ(status.ShowUpdateStatus(UpdateResult::kNoFailure), TrayPicture::kUpdated);
  EXPECT_FALSE(status.BlinkEnabled());
  EXPECT_EQ(status.OnBlinkTick(), std::nullopt) << "a tick queued before the stop changes nothing";
  EXPECT_EQ(status.Current(), TrayPicture::kUpdated);

  // Two equal results send the same steady icon twice.
  EXPECT_EQ(status.ShowUpdateStatus(UpdateResult::kTransferFailed), TrayPicture::kFailed);
  EXPECT_EQ(status.ShowUpdateStatus(UpdateResult::kTransferFailed), TrayPicture::kFailed);
  EXPECT_EQ(status.LastUpdateResult(), UpdateResult::kTransferFailed);
  EXPECT_FALSE(status.BlinkEnabled());

  // An unconfirmed account leaves the icon alone until the first blink tick.
  EXPECT_EQ(status.ShowUpdateStatus(UpdateResult::kAccountNotConfirmed), std::nullopt);
  EXPECT_TRUE(status.BlinkEnabled());
  EXPECT_EQ(status.Current(), TrayPicture::kFailed);
  EXPECT_EQ(status.LastUpdateResult(), UpdateResult::kAccountNotConfirmed);
}

TEST(StatusIconRuleTest, BlinkingAlternatesAndStopsOnTheSteadyIcon) {
  StatusIconRule status;
  // Blinking from creation: kFailed first, then strictly alternating.
  EXPECT_EQ(status.OnBlinkTick(), TrayPicture::kFailed);
  EXPECT_EQ(status.Current(), TrayPicture::kFailed);
  EXPECT_EQ(status.OnBlinkTick(), TrayPicture::kUpdated);
  EXPECT_EQ(status.OnBlinkTick(), TrayPicture::kFailed);
  EXPECT_TRUE(status.BlinkPhase());

  // Stopping on success while kFailed shows, and on a failed transfer while kUpdated shows.
  EXPECT_EQ(status.ShowUpdateStatus(UpdateResult::kNoFailure), TrayPicture::kUpdated);
  EXPECT_TRUE(status.BlinkPhase()) << "the phase is kept while blinking is off";
  EXPECT_EQ(status.ShowUpdateStatus(UpdateResult::kAccountNotConfirmed), std::nullopt);
  EXPECT_EQ(status.Current(), TrayPicture::kUpdated);
  EXPECT_EQ(status.OnBlinkTick(), TrayPicture::kUpdated) << "goes on from the previous phase";
  EXPECT_EQ(status.ShowUpdateStatus(UpdateResult::kTransferFailed), TrayPicture::kFailed);
  EXPECT_EQ(status.Current(), TrayPicture::kFailed);
  EXPECT_EQ(status.OnBlinkTick(), std::nullopt);
  EXPECT_EQ(status.Current(), TrayPicture::kFailed);
}

}  // namespace
}  // namespace kalvane
