#include "platform/file_identity-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "file_links-win32.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

using testing::MakeHardLink;
using testing::PutFileBytes;
using testing::ScratchFolder;

UniqueFile OpenAsIs(const FilePath& path) {
  return UniqueFile(CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// A file that is something else is refused as the system refuses access; a check whose query
// fails says why it failed, which is no "access denied" (and never passes).
TEST(FileIdentity, AFileThatIsSomethingElseIsRefusedAndAFailedQueryKeepsItsReason) {
  const ScratchFolder scratch(L"kalvane-identity");
  const FilePath folder = scratch.Folder(L"files");
  const FilePath plain = folder / L"plain.txt";
  const FilePath linked = folder / L"linked.txt";
  PutFileBytes(plain, "plain");
  PutFileBytes(linked, "linked");
  ASSERT_TRUE(MakeHardLink(linked, folder / L"second-name.txt"));
  const UniqueFile plain_file = OpenAsIs(plain);
  const UniqueFile linked_file = OpenAsIs(linked);
  const UniqueFile folder_file = OpenAsIs(folder);
  const UniqueKernelObject event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(plain_file && linked_file && folder_file && event);

  enum Expected { kPasses, kRefused, kQueryFailed };
  const struct {
    const char* what;
    HANDLE file;
    FilePath path;
    Expected expected;
  } cases[] = {
      {"the plain file under its name", plain_file.get(), plain, kPasses},
      {"the plain file under another name", plain_file.get(), folder / L"other.txt", kRefused},
      {"a file with a second hard link", linked_file.get(), linked, kRefused},
      {"a folder", folder_file.get(), folder, kRefused},
      {"no file at all", event.get(), plain, kQueryFailed},
      {"a name in a folder that is not there", plain_file.get(), folder / L"gone" / L"plain.txt",
       kQueryFailed},
  };
  for (const auto& c : cases) {
    const Status checked = CheckPlainFileAt(c.file, c.path);
    switch (c.expected) {
      case kPasses:
        EXPECT_TRUE(checked.ok()) << c.what << ": " << checked.system_error();
        break;
      case kRefused:
        EXPECT_EQ(checked, Status::Failure(StatusKind::kFailed, ERROR_ACCESS_DENIED)) << c.what;
        break;
      case kQueryFailed:
        EXPECT_EQ(checked.kind(), StatusKind::kFailed) << c.what;
        EXPECT_NE(checked.system_error(), 0u) << c.what;
        EXPECT_NE(checked.system_error(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << c.what;
        break;
    }
  }
}

}  // namespace
}  // namespace kalvane
