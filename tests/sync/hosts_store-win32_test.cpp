#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "file_links-win32.h"
#include "platform/file_system-win32.h"
#include "sync/hosts_store.h"

namespace kalvane {
namespace {

const SharedDomainList kTwo =
    std::make_shared<const DomainList>(DomainList{{"host1", "10.0.0.1"}, {"host2", "10.0.0.2"}});
const std::string kUserLines = "127.0.0.1 localhost\r\n";
const std::string kWithSection = kUserLines + "#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n";
const std::string kStale = kUserLines + "#BEGIN\r\n9.9.9.9 old\r\n";

using testing::FileBytes;
using testing::FolderNames;
using testing::PutFileBytes;

// A system folder ("etc" with a hosts file) and a program folder, both in a fresh temporary
// folder that goes away with the test.
class HostsFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(etc_().native());
    std::filesystem::create_directories(program_().native());
    PutFileBytes(hosts_(), kStale);
  }

  FilePath etc_() const { return root_ / L"etc"; }
  FilePath program_() const { return root_ / L"program"; }
  FilePath hosts_() const { return etc_() / L"hosts"; }
  FilePath working_copy_() const { return program_() / L"hosts.bak"; }

  HostsStore Store(FilePath working_copy = {}) {
    if (working_copy.empty()) working_copy = working_copy_();
    return HostsStore(MakeWin32FileSystem(), {hosts_(), working_copy}, [this] { ++changes_; });
  }

  // Runs both steps against a hosts file that must come out of them unchanged.
  // `kind`: the status's kind, when the test knows it.
  void ExpectBothStepsFail(HostsStep expected, std::optional<StatusKind> kind = std::nullopt,
                           FilePath working_copy = {}) {
    const auto before = FileBytes(hosts_());
    auto store = Store(std::move(working_copy));
    const HostsOutcome written = store.WriteHostsSection(kTwo);
    EXPECT_EQ(written.step, expected);
    EXPECT_FALSE(written.ok());
    if (kind) {
      EXPECT_EQ(written.status.kind(), *kind);
    }
    EXPECT_EQ(FileBytes(hosts_()), before);
    const HostsOutcome cleared = store.ClearHostsSection();
    EXPECT_EQ(cleared.step, expected);
    if (kind) {
      EXPECT_EQ(cleared.status.kind(), *kind);
    }
    EXPECT_EQ(FileBytes(hosts_()), before);
    EXPECT_EQ(changes_, 0);
  }

  testing::ScratchFolder scratch_{L"kalvane-hosts"};
  const FilePath& root_ = scratch_.root();
  int changes_ = 0;
};

TEST_F(HostsFileSystemTest, WritesAndClearsTheSectionThroughReplaceFile) {
  auto store = Store();
  EXPECT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kWritten);
  EXPECT_EQ(FileBytes(hosts_()), kWithSection);
  EXPECT_EQ(FileBytes(working_copy_()), kWithSection);
  EXPECT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kUnchanged);
  EXPECT_EQ(store.ClearHostsSection().step, HostsStep::kWritten);
  EXPECT_EQ(FileBytes(hosts_()), kUserLines);
  EXPECT_EQ(FileBytes(working_copy_()), kUserLines);
  EXPECT_EQ(changes_, 2);
  EXPECT_EQ(FolderNames(etc_()), std::vector<std::wstring>{L"hosts"})
      << "temporary file left behind";
}

TEST_F(HostsFileSystemTest, AHiddenHostsFileStaysHidden) {
  ASSERT_TRUE(SetFileAttributesW(hosts_().c_str(), FILE_ATTRIBUTE_HIDDEN));
  auto store = Store();
  EXPECT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kWritten);
  EXPECT_EQ(FileBytes(hosts_()), kWithSection);
  EXPECT_NE(GetFileAttributesW(hosts_().c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(FolderNames(etc_()), std::vector<std::wstring>{L"hosts"});
}

TEST_F(HostsFileSystemTest, AReadOnlyHostsFileIsLeftAsItIs) {
  ASSERT_TRUE(SetFileAttributesW(hosts_().c_str(), FILE_ATTRIBUTE_READONLY));
  ExpectBothStepsFail(HostsStep::kReplace);
  EXPECT_NE(GetFileAttributesW(hosts_().c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(FolderNames(etc_()), std::vector<std::wstring>{L"hosts"});
}

TEST_F(HostsFileSystemTest, AHostsFileHeldOpenByAnotherProgramIsLeftAsItIs) {
  {
    // Opened without any sharing: not even readable.
    HANDLE held =
        CreateFileW(hosts_().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ExpectBothStepsFail(HostsStep::kRead);
    CloseHandle(held);
  }
  {
    // Shared for reading only: readable, but it cannot be replaced.
    HANDLE held = CreateFileW(hosts_().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ExpectBothStepsFail(HostsStep::kReplace);
    CloseHandle(held);
  }
  EXPECT_EQ(FileBytes(hosts_()), kStale);
  EXPECT_EQ(FolderNames(etc_()), std::vector<std::wstring>{L"hosts"});
}

TEST_F(HostsFileSystemTest, AMissingHostsFileIsNotCreated) {
  std::filesystem::remove(hosts_().native());
  ExpectBothStepsFail(HostsStep::kRead, StatusKind::kNotFound);
  EXPECT_TRUE(FolderNames(etc_()).empty());
}

// "hosts.bak" is a by-product: one that cannot be written stops neither step.
TEST_F(HostsFileSystemTest, AWorkingCopyThatCannotBeWrittenStopsNothing) {
  // A read-only "hosts.bak" would do on Windows, but Wine running as root writes it all the
  // same; a missing folder, a folder of that name, or one held open without sharing cannot be
  // written by anyone.
  std::filesystem::create_directory(working_copy_().native());
  const FilePath held_copy = program_() / L"held.bak";
  PutFileBytes(held_copy, "");
  HANDLE held = CreateFileW(held_copy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  for (const auto& working_copy :
       {program_() / L"gone" / L"hosts.bak", working_copy_(), held_copy}) {
    SCOPED_TRACE(working_copy.native());
    PutFileBytes(hosts_(), kStale);
    auto store = Store(working_copy);
    EXPECT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kWritten);
    EXPECT_EQ(FileBytes(hosts_()), kWithSection);
    EXPECT_EQ(store.ClearHostsSection().step, HostsStep::kWritten);
    EXPECT_EQ(FileBytes(hosts_()), kUserLines);
  }
  CloseHandle(held);
  EXPECT_FALSE(std::filesystem::exists((program_() / L"gone").native()));
  EXPECT_TRUE(std::filesystem::is_directory(working_copy_().native()));
  EXPECT_EQ(FileBytes(held_copy), "");
  EXPECT_EQ(FolderNames(etc_()), std::vector<std::wstring>{L"hosts"});
}

// The program's folder may be one anyone can write: a link planted as "hosts.bak" must not turn
// the working copy onto another file. The working copy is skipped and the hosts file is still
// updated and cleaned.
TEST_F(HostsFileSystemTest, AHardOrSymbolicLinkAsTheWorkingCopyLeavesItsTargetAlone) {
  const std::string target_bytes = "another user's file\r\n";
  const auto target = root_ / L"elsewhere" / L"target.txt";
  std::filesystem::create_directories(target.parent_path().native());
  PutFileBytes(target, target_bytes);

  const auto expect_target_untouched = [&] {
    PutFileBytes(hosts_(), kStale);
    auto store = Store(working_copy_());
    EXPECT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kWritten);
    EXPECT_EQ(FileBytes(hosts_()), kWithSection);
    EXPECT_EQ(store.ClearHostsSection().step, HostsStep::kWritten);
    EXPECT_EQ(FileBytes(hosts_()), kUserLines);
    EXPECT_EQ(FileBytes(target), target_bytes);
  };

  ASSERT_TRUE(testing::MakeHardLink(target, working_copy_()));
  expect_target_untouched();
  ASSERT_TRUE(DeleteFileW(working_copy_().c_str()));

  if (!testing::MakeSymbolicLink(target, working_copy_())) {
    ASSERT_FALSE(testing::OnWine()) << "ln under Wine made no link";
    GTEST_SKIP() << "this system lets the test make no symbolic link";
  }
  expect_target_untouched();
}

// The temporary file beside the hosts file gets a fresh name each time: what lies under the name
// an earlier version used, or under any name made in advance, is never written.
TEST_F(HostsFileSystemTest, FilesPlantedBesideTheHostsFileAreNotWrittenThrough) {
  const std::string target_bytes = "another user's file\r\n";
  const auto target = root_ / L"elsewhere" / L"target.txt";
  std::filesystem::create_directories(target.parent_path().native());
  PutFileBytes(target, target_bytes);
  ASSERT_TRUE(testing::MakeHardLink(target, etc_() / L"hosts.kalvane-new"));

  auto store = Store();
  EXPECT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kWritten);
  EXPECT_EQ(FileBytes(hosts_()), kWithSection);
  EXPECT_EQ(FileBytes(target), target_bytes);
  EXPECT_EQ(FolderNames(etc_()), (std::vector<std::wstring>{L"hosts", L"hosts.kalvane-new"}));
}

}  // namespace
}  // namespace kalvane
