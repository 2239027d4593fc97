#include "platform/shell_open-win32.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <fstream>

#include "file_links-win32.h"

namespace kalvane {
namespace {

// Which way the target went is the shell's affair and is only recorded: Wine's desktop has no
// shell window list to reach, so there the call falls back to ShellExecuteW. What holds either
// way: it returns promptly, and leaves COM on the thread as it found it.
TEST(OpenAsDesktopUser, ReturnsPromptlyAndLeavesTheThreadsComAsItWas) {
  testing::ScratchFolder scratch(L"kalvane-open");
  const auto target = scratch.root() / L"no-association.kalvane-test";
  std::ofstream(target) << "x";

  const auto started = std::chrono::steady_clock::now();
  const ShellOpenPath path = OpenAsDesktopUser(nullptr, target.c_str());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  RecordProperty("path", path == ShellOpenPath::kDesktopShell ? "desktop shell" : "ShellExecuteW");

  // S_OK, not S_FALSE: the call did not leave an apartment behind.
  const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EXPECT_EQ(again, S_OK);
  if (SUCCEEDED(again)) CoUninitialize();

  // Inside an apartment of the caller's own, the call works the same and leaves it open.
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(OpenAsDesktopUser(nullptr, target.c_str()), path);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE) << "apartment closed";
  CoUninitialize();
  CoUninitialize();
}

}  // namespace
}  // namespace kalvane
