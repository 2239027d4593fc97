#include "platform/file_system-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "file_links-win32.h"

namespace kalvane {
namespace {

using testing::FileBytes;
using testing::FolderNames;
using testing::MakeHardLink;
using testing::MakeSymbolicLink;
using testing::PutFileBytes;
using testing::ScratchFolder;

const std::string kTargetBytes = "a file the program must never change\r\n";
const std::string kNew = "127.0.0.1 localhost\r\n#BEGIN\r\n10.0.0.1 host1\r\n";

// The program's folder, where anyone may plant a link, and another folder holding the file such
// a link would lead to.
class Win32FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { PutFileBytes(target_, kTargetBytes); }

  ScratchFolder scratch_{L"kalvane-files"};
  FilePath program_ = scratch_.Folder(L"program");
  FilePath target_ = scratch_.Folder(L"elsewhere") / L"target.txt";
  std::unique_ptr<FileSystem> files_ = MakeWin32FileSystem();
};

TEST_F(Win32FileSystemTest, WritesAPlainFileWhetherItIsNewOrAlreadyThere) {
  const auto path = program_ / L"hosts.bak";
  ASSERT_EQ(files_->WriteWhole(path, kNew, SyncMode::kFlush), StatusKind::kOk);
  EXPECT_EQ(FileBytes(path), kNew);
  // Shorter content cuts the old file off at its end; a name in other letters still names it.
  ASSERT_EQ(files_->WriteWhole(program_ / L"HOSTS.BAK", "x", SyncMode::kNone), StatusKind::kOk);
  EXPECT_EQ(FileBytes(path), "x");
  EXPECT_EQ(files_->WriteWhole(program_ / L"gone" / L"hosts.bak", "x", SyncMode::kNone),
            StatusKind::kNotFound);
  const Result<std::string> read = files_->ReadPlainFile(path);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, "x");
}

TEST_F(Win32FileSystemTest, AHardLinkIsNotWrittenThrough) {
  const auto link = program_ / L"hosts.bak";
  ASSERT_TRUE(MakeHardLink(target_, link));
  EXPECT_EQ(files_->WriteWhole(link, kNew, SyncMode::kFlush), StatusKind::kFailed);
  EXPECT_EQ(FileBytes(target_), kTargetBytes);
  EXPECT_EQ(FileBytes(link), kTargetBytes);
  EXPECT_EQ(files_->ReadPlainFile(link).status(), StatusKind::kFailed) << "nor read as our own";
}

TEST_F(Win32FileSystemTest, ASymbolicLinkIsNotWrittenThroughNorADanglingOneFollowed) {
  const auto link = program_ / L"hosts.bak";
  if (!MakeSymbolicLink(target_, link)) {
    ASSERT_FALSE(testing::OnWine()) << "ln under Wine made no link";
    GTEST_SKIP() << "this system lets the test make no symbolic link";
  }
  EXPECT_EQ(files_->WriteWhole(link, kNew, SyncMode::kFlush), StatusKind::kFailed);
  EXPECT_EQ(FileBytes(target_), kTargetBytes);
  EXPECT_EQ(files_->ReadPlainFile(link).status(), StatusKind::kFailed) << "nor read as our own";

  // A link to a file that does not exist (any more): creating through it would make that file.
  const auto missing = target_.parent_path() / L"made-by-the-program.txt";
  const auto dangling = program_ / L"abc.txt";
  PutFileBytes(missing, "");
  ASSERT_TRUE(MakeSymbolicLink(missing, dangling));
  ASSERT_TRUE(DeleteFileW(missing.c_str()));
  EXPECT_NE(files_->WriteWhole(dangling, kNew, SyncMode::kFlush), StatusKind::kOk);
  EXPECT_FALSE(std::filesystem::exists(missing.native()));
}

TEST_F(Win32FileSystemTest, AFolderOrADeviceIsNoFileToWrite) {
  std::filesystem::create_directory((program_ / L"hosts.bak").native());
  EXPECT_EQ(files_->WriteWhole(program_ / L"hosts.bak", kNew, SyncMode::kNone),
            StatusKind::kFailed);
  EXPECT_NE(files_->WriteWhole(L"\\\\.\\NUL", kNew, SyncMode::kNone), StatusKind::kOk);
}

TEST_F(Win32FileSystemTest, NewFilesGetFreshUnpredictableNamesAndLeftoversGoWithoutTheirTargets) {
  const auto stem = program_ / L"abc.txt.new";
  std::set<std::wstring> names;
  for (int i = 0; i < 3; ++i) {
    FilePath created;
    ASSERT_EQ(files_->WriteNewFile(stem, kNew, SyncMode::kFlush, created), StatusKind::kOk);
    EXPECT_EQ(FileBytes(created), kNew);
    const std::wstring name = created.filename().wstring();
    ASSERT_EQ(name.size(), std::wstring(L"abc.txt.new-").size() + 16) << name;
    EXPECT_TRUE(name.starts_with(L"abc.txt.new-"));
    EXPECT_EQ(name.find_first_not_of(L"0123456789abcdef", 12), std::wstring::npos) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 3u) << "a name came twice";

  // An interrupted run's leftovers go, a hard link among them as a name only; a symbolic link
  // goes where the system can remove it without its target (Windows) and stays otherwise (Wine,
  // where a Windows delete of a Unix link removes the target); other files stay.
  ASSERT_TRUE(MakeHardLink(target_, program_ / L"abc.txt.new-hard"));
  const bool symbolic = MakeSymbolicLink(target_, program_ / L"abc.txt.new-symbolic");
  PutFileBytes(program_ / L"abc.txt", "True\r\n");
  PutFileBytes(program_ / L"abc.txt.newer", "other\r\n");
  files_->RemoveNewFiles(stem);
  std::vector<std::wstring> left = FolderNames(program_);
  std::erase(left, L"abc.txt.new-symbolic");
  EXPECT_EQ(left, (std::vector<std::wstring>{L"abc.txt", L"abc.txt.newer"}));
  EXPECT_EQ(FileBytes(target_), kTargetBytes);
  EXPECT_TRUE(symbolic || !testing::OnWine());
}

TEST_F(Win32FileSystemTest, ANewFileIsNotMadeInAMissingFolder) {
  FilePath created;
  EXPECT_EQ(
      files_->WriteNewFile(program_ / L"gone" / L"abc.txt.new", kNew, SyncMode::kNone, created),
      StatusKind::kNotFound);
  EXPECT_TRUE(created.empty());
}

TEST_F(Win32FileSystemTest, RemovingAHardLinkLeavesTheTargetsAttributes) {
  ASSERT_TRUE(SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_READONLY));
  const auto link = program_ / L"hosts.kalvane-new-0";
  ASSERT_TRUE(MakeHardLink(target_, link));
  (void)files_->Remove(link);
  EXPECT_NE(GetFileAttributesW(target_.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(FileBytes(target_), kTargetBytes);
}

}  // namespace
}  // namespace kalvane
