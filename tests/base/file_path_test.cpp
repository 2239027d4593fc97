#include "base/file_path.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvane {
namespace {

// What std::filesystem::path gives for the same Windows paths, which the program used before.
TEST(FilePath, SplitsAWindowsPathIntoItsFolderAndItsLastName) {
  struct Case {
    const wchar_t* path;
    const wchar_t* folder;
    const wchar_t* name;
  };
  const Case cases[] = {
      {L"C:\\Program Files\\Kalvane\\Kalvane.exe", L"C:\\Program Files\\Kalvane", L"Kalvane.exe"},
      {L"C:\\Kalvane.exe", L"C:\\", L"Kalvane.exe"},
      {L"C:\\", L"C:\\", L""},
      {L"C:\\a\\\\b", L"C:\\a", L"b"},
      {L"C:\\a\\", L"C:\\a", L""},
      {L"C:name", L"C:", L"name"},
      {L"C:/windows/system32/drivers/etc/hosts", L"C:/windows/system32/drivers/etc", L"hosts"},
      {L"\\\\server\\share\\abc.txt", L"\\\\server\\share", L"abc.txt"},
      {L"\\\\?\\C:\\abc.txt", L"\\\\?\\C:", L"abc.txt"},
      {L"/program/hosts.bak", L"/program", L"hosts.bak"},
      {L"/hosts", L"/", L"hosts"},
      {L"abc.txt", L"", L"abc.txt"},
      {L"", L"", L""},
  };
  for (const Case& c : cases) {
    const FilePath path(c.path);
    EXPECT_EQ(path.parent_path().native(), c.folder) << path.native();
    EXPECT_EQ(path.filename().native(), c.name) << path.native();
  }
}

TEST(FilePath, JoinsANameWithOneBackslashAndAppendsASuffixAsItIs) {
  EXPECT_EQ((FilePath(L"C:\\Kalvane") / L"abc.txt").native(), L"C:\\Kalvane\\abc.txt");
  EXPECT_EQ((FilePath(L"C:\\") / L"abc.txt").native(), L"C:\\abc.txt");
  EXPECT_EQ((FilePath(L"C:/etc/") / L"hosts").native(), L"C:/etc/hosts");
  EXPECT_EQ((FilePath(L"C:") / L"abc.txt").native(), L"C:abc.txt");
  EXPECT_EQ((FilePath() / L"abc.txt").native(), L"abc.txt");

  FilePath stem(L"C:\\Kalvane\\abc.txt");
  stem += L".new";
  EXPECT_EQ(stem.native(), L"C:\\Kalvane\\abc.txt.new");
  EXPECT_EQ(stem.filename().native(), L"abc.txt.new");
}

}  // namespace
}  // namespace kalvane
