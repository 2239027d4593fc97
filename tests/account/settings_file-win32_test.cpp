// "abc.txt" through the Windows file layer, in a program folder where anyone may plant links.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "account/settings_file.h"
#include "file_links-win32.h"
#include "platform/file_system-win32.h"

namespace kalvane {
namespace {

using testing::FileBytes;
using testing::MakeHardLink;
using testing::MakeSymbolicLink;
using testing::OnWine;
using testing::PutFileBytes;
using testing::ScratchFolder;

const std::string kStored = "True\r\nexample.com\r\n0123456789ABCDEF0123456789ABCDEF\r\n";
const std::string kTargetBytes = "a file the program must never change\r\n";

class SettingsFileLinksTest : public ::testing::Test {
 protected:
  void SetUp() override { PutFileBytes(target_, kTargetBytes); }

  // Saves, and checks that the account went into a file of its own and the target is unchanged.
  void ExpectSavedBesideTheTarget() {
    SettingsFile settings(*files_, settings_path_);
    ASSERT_TRUE(settings.Write(kStored));
    EXPECT_EQ(FileBytes(settings_path_), kStored);
    EXPECT_EQ(FileBytes(target_), kTargetBytes);
  }

  // Plants a link of either kind at `link`, runs `check`, and removes the link again.
  template <typename Check>
  void WithEachLink(const std::filesystem::path& link, Check check) {
    ASSERT_TRUE(MakeHardLink(target_, link));
    check();
    ASSERT_TRUE(DeleteFileW(link.c_str()));
    if (!MakeSymbolicLink(target_, link)) {
      ASSERT_FALSE(OnWine()) << "ln under Wine made no link";
      GTEST_SKIP() << "this system lets the test make no symbolic link";
    }
    check();
  }

  ScratchFolder scratch_{L"kalvane-settings"};
  std::filesystem::path settings_path_ = scratch_.Folder(L"program") / L"abc.txt";
  std::filesystem::path target_ = scratch_.Folder(L"elsewhere") / L"target.txt";
  std::unique_ptr<FileSystem> files_ = MakeWin32FileSystem();
};

TEST_F(SettingsFileLinksTest, ALinkPlantedAsTheTemporaryFileIsNeverWrittenThrough) {
  const auto planted = settings_path_.parent_path() / L"abc.txt.new";
  WithEachLink(planted, [&] { ExpectSavedBesideTheTarget(); });
}

TEST_F(SettingsFileLinksTest, ALinkPlantedAsTheSettingsFileIsReplacedNotWrittenThrough) {
  WithEachLink(settings_path_, [&] { ExpectSavedBesideTheTarget(); });
}

}  // namespace
}  // namespace kalvane
