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
  std::ofstream(target) << "x";

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

// Hides the desktop's shell window list from COM while it lives: the class is treated as one
// that nobody serves, as when Explorer is not running. Machine-wide, so only under Wine.
class HiddenDesktopShell {
 public:
  HiddenDesktopShell() {
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_,
                    nullptr);
    constexpr wchar_t kNobody[] = L"{7D1F0E8A-0000-4000-8000-00000000BAD0}";
    hidden_ = key_ != nullptr &&
              RegSetValueExW(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kNobody),
                             sizeof(kNobody)) == ERROR_SUCCESS;
  }
  ~HiddenDesktopShell() {
    if (key_ != nullptr) RegCloseKey(key_);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
  }
  HiddenDesktopShell(const HiddenDesktopShell&) = delete;
  HiddenDesktopShell& operator=(const HiddenDesktopShell&) = delete;
  bool hidden() const { return hidden_; }

 private:
  static constexpr wchar_t kKey[] =
      L"Software\\Classes\\CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\TreatAs";
  HKEY key_ = nullptr;
  bool hidden_ = false;
};

TEST(OpenAsDesktopUser, WithoutTheDesktopShellStartsNothingItself) {
  testing::ScratchFolder scratch(L"kalvane-open");
  if (!testing::UnixPath(scratch.root())) GTEST_SKIP() << "hides the shell only under Wine";
  // A target that leaves a marker beside itself when it is run: a batch file needs no
  // association, so a ShellExecuteW of this (elevated) process would run it at once.
  const auto target = scratch.root() / L"open-me.cmd";
  std::ofstream(target) << "echo started> \"%~dp0started\"\r\n";

  const HiddenDesktopShell no_shell;
  ASSERT_TRUE(no_shell.hidden());
  EXPECT_EQ(OpenAsDesktopUser(target.c_str()), ShellOpenPath::kShellUnreachable);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_FALSE(std::filesystem::exists(scratch.root() / L"started")) << "started it itself";
}

}  // namespace
}  // namespace kalvane
