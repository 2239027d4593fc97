#include "tray/status_icon_rule.h"

#include <gtest/gtest.h>

namespace kalvane {
namespace {

TEST(StatusIconRuleTest, StatesGiveSteadyIconsOrBlinking) {
  StatusIconRule status;
  EXPECT_EQ(status.Current(), TrayPicture::kUpdated);

  EXPECT_EQ(status.ShowUpdateStatus(TrayIconState::kUpdated), TrayPicture::kUpdated);
  EXPECT_EQ(status.OnBlinkTick(), std::nullopt) << "a tick queued before the stop changes nothing";
  EXPECT_EQ(status.Current(), TrayPicture::kUpdated);

  // Two equal states send the same steady icon twice.
  EXPECT_EQ(status.ShowUpdateStatus(TrayIconState::kFailed), TrayPicture::kFailed);
  EXPECT_EQ(status.ShowUpdateStatus(TrayIconState::kFailed), TrayPicture::kFailed);
  EXPECT_EQ(status.OnBlinkTick(), std::nullopt);

  // Where animations are off, an unconfirmed account has a steady picture of its own.
  EXPECT_EQ(status.ShowUpdateStatus(TrayIconState::kBlinking, /*animate=*/false),
            TrayPicture::kUnconfirmed);
  EXPECT_EQ(status.OnBlinkTick(), std::nullopt);
  EXPECT_EQ(status.ShowUpdateStatus(TrayIconState::kFailed, false), TrayPicture::kFailed);

  // Blinking leaves the icon alone until the first blink tick.
  EXPECT_EQ(status.ShowUpdateStatus(TrayIconState::kBlinking), std::nullopt);
  EXPECT_EQ(status.Current(), TrayPicture::kFailed);
  EXPECT_NE(status.OnBlinkTick(), std::nullopt) << "the blinking runs";
}

TEST(StatusIconRuleTest, BlinkingAlternatesAndStopsOnTheSteadyIcon) {
  StatusIconRule status;
  // Blinking from creation: kFailed first, then strictly alternating.
  EXPECT_EQ(status.OnBlinkTick(), TrayPicture::kFailed);
  EXPECT_EQ(status.Current(), TrayPicture::kFailed);
  EXPECT_EQ(status.OnBlinkTick(), TrayPicture::kUpdated);
  EXPECT_EQ(status.OnBlinkTick(), TrayPicture::kFailed);

  // Stopping on success while kFailed shows, and on a failed transfer while kUpdated shows. The
  // next blinking goes on from the phase the previous one stopped at: kUpdated comes next.
  EXPECT_EQ(status.ShowUpdateStatus(TrayIconState::kUpdated), TrayPicture::kUpdated);
  EXPECT_EQ(status.ShowUpdateStatus(TrayIconState::kBlinking), std::nullopt);
  EXPECT_EQ(status.Current(), TrayPicture::kUpdated);
  EXPECT_EQ(status.OnBlinkTick(), TrayPicture::kUpdated) << "goes on from the previous phase";
  EXPECT_EQ(status.OnBlinkTick(), TrayPicture::kFailed);
  EXPECT_EQ(status.ShowUpdateStatus(TrayIconState::kFailed), TrayPicture::kFailed);
  EXPECT_EQ(status.Current(), TrayPicture::kFailed);
  EXPECT_EQ(status.OnBlinkTick(), std::nullopt);
  EXPECT_EQ(status.Current(), TrayPicture::kFailed);
}

}  // namespace
}  // namespace kalvane
