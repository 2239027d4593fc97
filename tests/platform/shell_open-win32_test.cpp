#include "platform/shell_open-win32.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "file_links-win32.h"

namespace kalvane {
namespace {

// Which way the target went is the shell's affair and is only recorded. What holds either way:
// it returns promptly, and leaves COM on the thread as it found it.
TEST(OpenAsDesktopUser, ReturnsPromptlyAndLeavesTheThreadsComAsItWas) {
  testing::ScratchFolder scratch(L"kalvane-open");
  const auto target = scratch.root() / L"no-association.kalvane-test";
  std::ofstream(std::filesystem::path(target.native())) << "x";

  const auto started = std::chrono::steady_clock::now();
  const ShellOpenPath path = OpenAsDesktopUser(target.c_str());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  RecordProperty("path", path == ShellOpenPath::kDesktopShell ? "desktop shell" : "unreachable");

  // S_OK, not S_FALSE: the call did not leave an apartment behind.
  const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EXPECT_EQ(again, S_OK);
  if (SUCCEEDED(again)) CoUninitialize();

  // Inside an apartment of the caller's own, the call works the same and leaves it open.
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(OpenAsDesktopUser(target.c_str()), path);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE) << "apartment closed";
  CoUninitialize();
  CoUninitialize();
}

// Without the desktop shell (its window list hidden from COM as a class nobody serves, as when
// Explorer is not running) the call starts nothing itself. Machine-wide, so only under Wine.
TEST(OpenAsDesktopUser, WithoutTheDesktopShellStartsNothingItself) {
  testing::ScratchFolder scratch(L"kalvane-open");
  if (!testing::UnixPath(scratch.root())) GTEST_SKIP() << "hides the shell only under Wine";
  // A batch file needs no association: a ShellExecuteW of this process would run it at once.
  const auto target = scratch.root() / L"open-me.cmd";
  std::ofstream(std::filesystem::path(target.native())) << "echo started> \"%~dp0started\"\r\n";

  constexpr wchar_t kTreatAs[] =
      L"Software\\Classes\\CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\TreatAs";
  constexpr wchar_t kNobody[] = L"{7D1F0E8A-0000-4000-8000-00000000BAD0}";
  ASSERT_EQ(
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, kTreatAs, nullptr, REG_SZ, kNobody, sizeof(kNobody)),
      ERROR_SUCCESS);
  const ShellOpenPath path = OpenAsDesktopUser(target.c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTreatAs);
  EXPECT_EQ(path, ShellOpenPath::kShellUnreachable);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_FALSE(std::filesystem::exists((scratch.root() / L"started").native()))
      << "started it itself";
}

}  // namespace
}  // namespace kalvane
