// "abc.txt" through the Windows file layer, in a program folder where anyone may plant links.

#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <string>
#include <vector>

#include "account/settings_file.h"
#include "file_links-win32.h"
#include "platform/file_system-win32.h"
#include "platform/private_security-win32.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

using testing::FileBytes;
using testing::FolderNames;
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
    ASSERT_TRUE(settings.Write(kStored).ok());
    EXPECT_EQ(FileBytes(settings_path_), kStored);
    EXPECT_EQ(FileBytes(target_), kTargetBytes);
  }

  // Plants a link of either kind at `link`, runs `check`, and removes the link again.
  template <typename Check>
  void WithEachLink(const FilePath& link, Check check) {
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
  FilePath settings_path_ = scratch_.Folder(L"program") / L"abc.txt";
  FilePath target_ = scratch_.Folder(L"elsewhere") / L"target.txt";
  std::unique_ptr<FileSystem> files_ = MakeWin32FileSystem();
};

// A link planted under the temporary stem, where an interrupted save leaves its file, is never
// written through; a hard link there goes as a leftover, as a name only. (Wine cannot remove a
// Unix symbolic link without its target, so one may stay there.)
TEST_F(SettingsFileLinksTest, ALinkPlantedAsATemporaryFileIsNeverWrittenThrough) {
  const auto planted = settings_path_.parent_path() / L"abc.txt.new-0123456789abcdef";
  ASSERT_TRUE(MakeHardLink(target_, planted));
  ExpectSavedBesideTheTarget();
  EXPECT_EQ(FolderNames(planted.parent_path()), std::vector<std::wstring>{L"abc.txt"});
  if (!MakeSymbolicLink(target_, planted)) {
    ASSERT_FALSE(OnWine()) << "ln under Wine made no link";
    GTEST_SKIP() << "this system lets the test make no symbolic link";
  }
  ExpectSavedBesideTheTarget();
}

TEST_F(SettingsFileLinksTest, ALinkPlantedAsTheSettingsFileIsReplacedNotWrittenThrough) {
  WithEachLink(settings_path_, [&] { ExpectSavedBesideTheTarget(); });
}

// Whether the file's DACL lets everybody in (Wine shows a file's "others" mode bits that way).
bool AdmitsEveryone(const FilePath& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  const UniqueLocal held(descriptor);
  if (dacl == nullptr) return true;
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(dacl, index, &entry)) return true;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
        (IsWellKnownSid(&allowed->SidStart, WinWorldSid) ||
         IsWellKnownSid(&allowed->SidStart, WinBuiltinUsersSid))) {
      return true;
    }
  }
  return false;
}

void PutReadableByEveryone(const FilePath& path, const std::string& content) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
  const UniqueLocal held(descriptor);
  SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, &security, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  DWORD written = 0;
  ASSERT_TRUE(
      WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
}

// The account is for administrators only: a saved abc.txt admits nobody else, an older one that
// did is tightened when it is loaded (its bytes unchanged), and a save whose rename fails leaves
// no temporary holding the account behind.
TEST(PrivateSettingsFile, AdmitsOnlyAdministratorsAndLeavesNoTemporary) {
  ScratchFolder scratch{L"kalvane-private"};
  const FilePath path = scratch.Folder(L"program") / L"abc.txt";
  const auto files = MakeWin32FileSystem(FilePrivacy::kAdministratorsOnly);
  SettingsFile settings(*files, path);

  // As an older version may have left it: readable by everyone.
  PutReadableByEveryone(path, kStored);
  ASSERT_TRUE(AdmitsEveryone(path));
  EXPECT_EQ(settings.Read().value(), kStored);
  EXPECT_FALSE(AdmitsEveryone(path));
  EXPECT_EQ(FileBytes(path), kStored);

  ASSERT_TRUE(DeleteFileW(path.c_str()));
  ASSERT_TRUE(settings.Write(kStored).ok());
  EXPECT_FALSE(AdmitsEveryone(path));
  EXPECT_FALSE(files->OpenToOthers(path)) << "a private file would be written again at every load";

  const UniqueFile held(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  EXPECT_FALSE(settings.Write("True\r\n").ok());
  EXPECT_EQ(FolderNames(path.parent_path()), std::vector<std::wstring>{L"abc.txt"});
}

// Who else a security descriptor lets in. Only an elevated administrator (SYSTEM, the
// Administrators group, the program's own user) may own or be admitted to abc.txt; an owner who
// is anyone else may change the DACL at will, so such a file is open to others and is written
// again as a private one. Wine reports every file as owned by the user who runs it, so this is
// shown on the descriptors themselves.
TEST(PrivateSettingsFile, OnlyAdministratorsMayOwnOrBeAdmitted) {
  const std::wstring self = L"S-1-5-21-1-2-3-1001";
  const std::wstring other = L"S-1-5-21-1-2-3-1002";
  PSID self_sid = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidW(self.c_str(), &self_sid));
  const UniqueLocal held_sid(self_sid);
  const std::wstring kPrivate = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";
  const struct {
    std::wstring sddl;
    bool admits_others;
  } cases[] = {
      {L"O:BA" + kPrivate, false},
      {L"O:SY" + kPrivate, false},
      {L"O:" + self + kPrivate + L"(A;;FA;;;" + self + L")", false},
      {L"O:BAD:P(D;;FA;;;WD)(A;;FA;;;BA)", false},
      {L"O:" + other + kPrivate, true},  // owned by someone who is no administrator
      {L"O:" + other + kPrivate + L"(A;;FA;;;" + other + L")", true},  // the owner's own entry
      {L"O:BA" + kPrivate + L"(A;;FR;;;WD)", true},
      {L"O:BA" + kPrivate + L"(A;;FR;;;" + other + L")", true},
      {L"O:BA", true},  // no DACL at all
  };
  for (const auto& c : cases) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        c.sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
    const UniqueLocal held(descriptor);
    const Status kept = CheckDescriptorAdmitsNoOthers(descriptor, self_sid);
    EXPECT_EQ(kept, c.admits_others ? StatusKind::kRejected : StatusKind::kOk)
        << std::string(c.sddl.begin(), c.sddl.end());
  }
}

}  // namespace
}  // namespace kalvane
