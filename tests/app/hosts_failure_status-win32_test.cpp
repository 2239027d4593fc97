// The update cycle, the real Win32 hosts store and the tray together: what the tray shows when the
// hosts file cannot be written.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/ansi_code_page-win32.h"
#include "platform/file_system-win32.h"
#include "platform/unique_handle-win32.h"
#include "status/status_line.h"
#include "sync/hosts_store.h"
#include "sync/update_cycle.h"
#include "tray/tray_icon-win32.h"
#include "tray/tray_status-win32.h"

namespace kalvane {
namespace {

// A top-level window of a system class for the tray icon and its blink timer; nothing dispatches
// its messages.
class PlainWindow {
 public:
  PlainWindow()
      : hwnd_(CreateWindowExW(0, L"STATIC", L"Kalvane", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}
  ~PlainWindow() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
  }
  PlainWindow(const PlainWindow&) = delete;
  PlainWindow& operator=(const PlainWindow&) = delete;

  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_;
};

// The service answers every request with one mapping.
class AnsweringService final : public PageFetch, public AccountSource {
 public:
  Result<HttpAnswer> Get(std::string_view) override { return HttpAnswer::Taken(response_); }
  void Cancel() override {}
  AccountBoxes Current() const override { return {}; }

 private:
  std::string response_ = "<p>BEGIN</p>\r\n<p>host1&nbsp;10.0.0.1</p>\r\n";
};

// A cycle whose answer came but whose rows the hosts store could not write, because another
// program holds the hosts file open without sharing: the steady failure icon, and the tool-tip
// names the failure. Once the file is free again the next cycle turns it back.
TEST(HostsFailureStatus, AHostsFileHeldOpenWithoutSharingShowsTheSteadyFailureIconAndSaysWhy) {
  const PlainWindow window;
  ASSERT_NE(window.hwnd(), nullptr) << "no window: is DISPLAY set (Xvfb)?";
  wchar_t temp[MAX_PATH + 1];
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
  const FilePath root =
      FilePath(temp) / (L"kalvane-tray-hosts-" + std::to_wstring(GetCurrentProcessId()));
  std::filesystem::create_directories((root / L"etc").native());
  const FilePath hosts = root / L"etc" / L"hosts";
  std::ofstream(std::filesystem::path(hosts.native()), std::ios::binary)
      << "127.0.0.1 localhost\r\n";
  HostsStore store(MakeWin32FileSystem(), {hosts, root / L"hosts.bak"}, {}, "dns.kalvane.example");
  AnsweringService service;
  const SystemAnsiCodePage code_page;
  UpdateCycle cycle(service, store, code_page);

  const HICON updated = LoadIconW(nullptr, IDI_APPLICATION);
  const HICON failed = LoadIconW(nullptr, IDI_WARNING);
  TrayIcon tray(window.hwnd(), nullptr);
  TrayStatus status(tray, {updated, failed, LoadIconW(nullptr, IDI_QUESTION)});
  ShowWindow(window.hwnd(), SW_SHOWMINIMIZED);
  ASSERT_TRUE(tray.Add());

  std::optional<UpdateResult> result;
  {
    const UniqueFile held(
        CreateFileW(hosts.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    result = cycle.UpdateDomains(service);
    ASSERT_EQ(result, UpdateResult::kTransferFailed);
    status.ShowUpdateStatus(IconState(*result), StatusLine(cycle.LastReport(), {12, 3}));
    EXPECT_EQ(tray.Icon(), failed);
    status.OnBlinkTick();
    EXPECT_EQ(tray.Icon(), failed) << "steady, no blinking";
    EXPECT_EQ(tray.Tip(), L"Kalvane\n无法读取 hosts 文件：文件正被其他程序使用 (12:03)");
  }

  result = cycle.UpdateDomains(service);
  ASSERT_EQ(result, UpdateResult::kNoFailure);
  status.ShowUpdateStatus(IconState(*result), StatusLine(cycle.LastReport(), {12, 4}));
  EXPECT_EQ(tray.Icon(), updated);
  EXPECT_EQ(tray.Tip(), L"Kalvane\n已更新 1 条映射 (12:04)");
  tray.Remove();
  std::filesystem::remove_all(root.native());
}

}  // namespace
}  // namespace kalvane
