#include "account/settings_file.h"

#include <gtest/gtest.h>

#include "memory_file_system.h"

namespace kalvane {
namespace {

using testing::Fault;
using testing::FaultKind;
using testing::MemoryDisk;
using testing::MemoryFileSystem;

const FilePath kSettings = L"/app/abc.txt";
const std::string kStored = "True\r\nexample.com\r\n0123456789ABCDEF0123456789ABCDEF\r\n";

TEST(SettingsFile, ReadsWritesAndNeverLosesTheStoredAccount) {
  {
    MemoryDisk disk;
    MemoryFileSystem files(disk);
    SettingsFile settings(files, kSettings);
    EXPECT_EQ(settings.Read().status(), StatusKind::kNotFound);  // no file yet
    ASSERT_TRUE(settings.Write(kStored).ok());
    EXPECT_EQ(settings.Read().value(), kStored);
    ASSERT_TRUE(settings.Write("").ok());  // updating off: an empty file, not a missing one
    EXPECT_EQ(settings.Read().value(), "");
  }
  // Whatever step of a save fails, or loses the power, the file holds the old account or the new
  // one, and no temporary file is left beside it after a failure.
  const std::string next = "True\r\n";
  for (FaultKind kind : {FaultKind::kFail, FaultKind::kPowerLoss}) {
    for (int step = 0; step < 4; ++step) {
      MemoryDisk disk;
      disk.files[kSettings].content = kStored;
      MemoryFileSystem files(disk, Fault{kind, step});
      SettingsFile settings(files, kSettings);
      const bool saved = settings.Write(next).ok();
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
    MemoryFileSystem files(disk);
    SettingsFile unknown_folder(files, FilePath());
    EXPECT_FALSE(unknown_folder.Write(kStored).ok());
    EXPECT_EQ(unknown_folder.Read().status(), StatusKind::kNotFound);
  }
}

// A save whose rename fails leaves abc.txt as it was and nothing beside it; what an interrupted
// save left under the temporary stem goes at the next one.
TEST(SettingsFile, SavesThroughAFreshTemporaryFileAndClearsLeftovers) {
  MemoryDisk disk;
  disk.files[kSettings].content = "True\r\n";
  {
    MemoryFileSystem files(disk, Fault{.kind = FaultKind::kFail, .step = 2});  // the rename
    SettingsFile settings(files, kSettings);
    EXPECT_EQ(settings.Write(kStored), StatusKind::kFailed);
    ASSERT_TRUE(files.fault_hit());
  }
  EXPECT_EQ(disk.files.size(), 1u) << "a temporary file was left behind";
  EXPECT_EQ(disk.Content(kSettings), "True\r\n");

  disk.files[L"/app/abc.txt.new-9"].content = "left by a save that never ended";
  MemoryFileSystem files(disk);
  SettingsFile settings(files, kSettings);
  ASSERT_TRUE(settings.Write(kStored).ok());
  EXPECT_EQ(disk.Content(kSettings), kStored);
  EXPECT_EQ(disk.files.size(), 1u) << "the leftover was not removed";
}

// An account file that others may read is written again, the same bytes in a new private file;
// a private one is only read.
TEST(SettingsFile, RewritesAFileOpenToOthersAsAPrivateOne) {
  MemoryDisk disk;
  disk.files[kSettings] = {.content = kStored, .open_to_others = true};
  MemoryFileSystem files(disk);
  SettingsFile settings(files, kSettings);
  EXPECT_EQ(settings.Read().value(), kStored);
  EXPECT_EQ(disk.Content(kSettings), kStored);
  EXPECT_FALSE(disk.files.at(kSettings).open_to_others);
  EXPECT_EQ(files.writes_to(kSettings), 1);
  EXPECT_EQ(settings.Read().value(), kStored);
  EXPECT_EQ(files.writes_to(kSettings), 1) << "a private file is not written again";
  EXPECT_EQ(disk.files.size(), 1u);
}

}  // namespace
}  // namespace kalvane
