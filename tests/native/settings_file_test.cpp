#include "app/settings_file.h"

#include <gtest/gtest.h>

#include "app/window_layout.h"
#include "memory_hosts_file_system.h"

namespace kalvane {
namespace {

using testing::Fault;
using testing::FaultKind;
using testing::MemoryDisk;
using testing::MemoryHostsFileSystem;

const std::filesystem::path kSettings = "/app/abc.txt";
const std::string kStored = "True\r\nexample.com\r\n0123456789ABCDEF0123456789ABCDEF\r\n";

TEST(SettingsFile, ReadsWritesAndNeverLosesTheStoredAccount) {
  {
    MemoryDisk disk;
    MemoryHostsFileSystem files(disk);
    SettingsFile settings(files, kSettings);
    EXPECT_EQ(settings.Read(), std::nullopt);  // no file yet
    ASSERT_TRUE(settings.Write(kStored));
    EXPECT_EQ(settings.Read(), kStored);
    ASSERT_TRUE(settings.Write(""));  // updating off: an empty file, not a missing one
    EXPECT_EQ(settings.Read(), "");
  }
  // Whatever step of a save fails, or loses the power, the file holds the old account or the new
  // one, and no temporary file is left beside it after a failure.
  const std::string next = "True\r\n";
  for (FaultKind kind : {FaultKind::kFail, FaultKind::kPowerLoss}) {
    for (int step = 0; step < 4; ++step) {
      MemoryDisk disk;
      disk.files[kSettings].content = kStored;
      MemoryHostsFileSystem files(disk, Fault{kind, step});
      SettingsFile settings(files, kSettings);
      const bool saved = settings.Write(next);
      if (kind == FaultKind::kPowerLoss) disk.LosePower();
      const std::optional<std::string> now = disk.Content(kSettings);
      ASSERT_TRUE(now.has_value()) << step;
      EXPECT_TRUE(*now == kStored || *now == next) << step;
      if (!saved && kind == FaultKind::kFail) {
        EXPECT_EQ(*now, kStored) << step;
      }
    }
  }
  {
    MemoryDisk disk;
    MemoryHostsFileSystem files(disk);
    SettingsFile unknown_folder(files, std::filesystem::path());
    EXPECT_FALSE(unknown_folder.Write(kStored));
    EXPECT_EQ(unknown_folder.Read(), std::nullopt);
  }
}

TEST(WindowLayout, TwipsBecomePixelsAtTheWindowsDpi) {
  // 15 twips a pixel at 96 DPI, 10 at 144.
  EXPECT_EQ(ToPixels(kClientTwips, 96), (PixelRect{0, 0, 275, 133}));
  EXPECT_EQ(ToPixels(kClientTwips, 144), (PixelRect{0, 0, 413, 200}));  // 412.5 and 199.5 round up
  EXPECT_EQ(ToPixels({1080, 480, 2295, 270}, 96), (PixelRect{72, 32, 153, 18}));
  EXPECT_EQ(ToPixels({360, 120, 1455, 255}, 120), (PixelRect{30, 10, 121, 21}));
  EXPECT_EQ(TwipsToPixels(-120, 96), -8);
  // Focus order of the controls that take it.
  std::vector<int> order;
  for (const ControlLayout& control : kControls) {
    if (control.kind != ControlKind::Label) order.push_back(control.id);
  }
  EXPECT_EQ(order, (std::vector<int>{kText1, kText2, kCommand1, kCommand3, kCheck1}));
}

}  // namespace
}  // namespace kalvane
