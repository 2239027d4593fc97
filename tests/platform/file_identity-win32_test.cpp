#include "platform/file_identity-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "file_links-win32.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

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
  PutFileBytes(plain, "plain");
  const UniqueFile file = OpenAsIs(plain);
  const UniqueKernelObject event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(file && event);

  enum Expected { kPasses, kRefused, kQueryFailed };
  const struct {
    const char* what;
    HANDLE file;
    FilePath path;
    Expected expected;
  } cases[] = {
      {"the file under its name", file.get(), plain, kPasses},
      {"the file under another name", file.get(), folder / L"other.txt", kRefused},
      {"no file at all", event.get(), plain, kQueryFailed},
      {"a name in a folder that is not there", file.get(), folder / L"gone" / L"plain.txt",
       kQueryFailed},
  };
  for (const auto& c : cases) {
    const Status checked = CheckPlainFileAt(c.file, c.path);
    const Expected seen = checked.ok()                                    ? kPasses
                          : checked.system_error() == ERROR_ACCESS_DENIED ? kRefused
                                                                          : kQueryFailed;
    EXPECT_EQ(seen, c.expected) << c.what << ": " << checked.system_error();
    EXPECT_TRUE(checked.ok() || (checked == StatusKind::kFailed && checked.system_error() != 0))
        << c.what;
  }
}

}  // namespace
}  // namespace kalvane
