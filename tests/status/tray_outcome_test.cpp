#include "status/tray_outcome.h"

#include <gtest/gtest.h>

namespace kalvane {
namespace {

constexpr TimeOfDay kNoon{12, 3, 0};
constexpr TimeOfDay kLater{12, 9, 0};

CycleReport Failed() { return {NoAnswer{Status::Failure(StatusKind::kTimedOut), {}}}; }

// A restore is not an update: after a failed update (or an unconfirmed account) a restored
// section leaves the icon and the outcome's line; a restore that failed adds its own line below.
TEST(TrayOutcome, ARestoreKeepsTheLastUpdatesOutcome) {
  TrayOutcome tray;
  const TrayView failed = tray.OnCycle(Failed(), kNoon);
  EXPECT_EQ(failed.icon, TrayIconState::kFailed);
  EXPECT_EQ(failed.tip_line, u"无法连接服务器：连接超时 (12:03)");

  const RestoreReport restored{GuardDecision::kRestore, HostsOutcome::Done(HostsStep::kWritten)};
  const TrayView after = tray.OnRestore(restored, kLater);
  EXPECT_EQ(after.icon, std::nullopt);
  EXPECT_EQ(after.tip_line, failed.tip_line);

  const RestoreReport refused{
      GuardDecision::kRestore,
      HostsOutcome::Failed(HostsStep::kReplace, Status::Failure(StatusKind::kFailed, 5))};
  const TrayView refused_view = tray.OnRestore(refused, kLater);
  EXPECT_EQ(refused_view.icon, std::nullopt);
  EXPECT_EQ(refused_view.tip_line,
            u"无法连接服务器：连接超时 (12:03)\n无法写入 hosts 文件：拒绝访问 (12:09)");

  // Restoring given up: the section stays away, which the steady failure icon says.
  const TrayView paused = tray.OnRestore({GuardDecision::kPaused, {}}, kLater);
  EXPECT_EQ(paused.icon, TrayIconState::kFailed);
  EXPECT_EQ(paused.tip_line, u"hosts 文件被其他程序反复改写，已暂停恢复 (12:09)");
}

}  // namespace
}  // namespace kalvane
