#include <gtest/gtest.h>
#include <windows.h>
// The shell's declarations build on windows.h.
#include <shellapi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "app/status_line.h"
#include "platform/ansi_code_page-win32.h"
#include "platform/file_system-win32.h"
#include "platform/window_timer-win32.h"
#include "sync/hosts_store.h"
#include "sync/update_cycle.h"
#include "tray/tray_icon-win32.h"
#include "tray/tray_status-win32.h"

namespace kalvane {
namespace {

constexpr LRESULT kOwnResult = 4242;

// What the window's own procedure saw. A test window answers every message it does not leave to
// DefWindowProcW with kOwnResult, so passing on can be told from answering.
struct Seen {
  std::vector<UINT> messages;
  std::vector<LPARAM> callbacks;  // lParam of every kTrayCallbackMessage
  std::vector<UINT_PTR> timers;   // wParam of every WM_TIMER

  int Count(UINT msg) const {
    int n = 0;
    for (UINT m : messages) n += m == msg;
    return n;
  }
};

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* seen = reinterpret_cast<Seen*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (seen == nullptr) return DefWindowProcW(hwnd, msg, wparam, lparam);
  seen->messages.push_back(msg);
  if (msg == kTrayCallbackMessage) {
    seen->callbacks.push_back(lparam);
    return kOwnResult;
  }
  if (msg == WM_TIMER) seen->timers.push_back(wparam);
  if (msg == WM_APP + 7) return kOwnResult;
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

// A real top-level window with RecordingProc as its own procedure.
class TestWindow {
 public:
  TestWindow() {
    static const ATOM kClass = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = RecordingProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"KalvaneTrayTest";
      return RegisterClassW(&wc);
    }();
    hwnd_ = CreateWindowExW(0, MAKEINTATOM(kClass), L"Kalvane", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                            nullptr, nullptr, GetModuleHandleW(nullptr), seen_.get());
  }
  ~TestWindow() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  Seen& seen() { return *seen_; }
  LONG_PTR Proc() const { return GetWindowLongPtrW(hwnd_, GWLP_WNDPROC); }

 private:
  std::unique_ptr<Seen> seen_ = std::make_unique<Seen>();
  HWND hwnd_ = nullptr;
};

// Asks the shell directly whether (hwnd, 0) has an icon: only an existing icon can be modified.
bool ShellHasIcon(HWND hwnd) {
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof(probe);
  probe.hWnd = hwnd;
  probe.uFlags = NIF_TIP;
  wcscpy_s(probe.szTip, L"Kalvane");
  return Shell_NotifyIconW(NIM_MODIFY, &probe);
}

bool ShellDeleteIcon(HWND hwnd) {
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof(probe);
  probe.hWnd = hwnd;
  return Shell_NotifyIconW(NIM_DELETE, &probe);
}

// Runs the message loop for `ms` milliseconds.
void PumpFor(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

bool TakeNullMessage(HWND hwnd) {
  MSG msg;
  return PeekMessageW(&msg, hwnd, WM_NULL, WM_NULL, PM_REMOVE) != 0;
}

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(window_.hwnd(), nullptr) << "no window: is DISPLAY set (Xvfb)?";
    icon_ = LoadIconW(nullptr, IDI_APPLICATION);
    tray_.SetIcon(icon_);
  }
  void Minimise() {
    ShowWindow(window_.hwnd(), SW_SHOWMINIMIZED);
    ASSERT_TRUE(IsIconic(window_.hwnd()));
  }

  TestWindow window_;
  int exits_picked_ = 0;
  TrayIcon tray_{window_.hwnd(), [this] { ++exits_picked_; }};
  HICON icon_ = nullptr;
};

TEST_F(TrayIconTest, InstallAndRemoveInPairsPutTheOwnProcedureBack) {
  const LONG_PTR own = window_.Proc();
  EXPECT_FALSE(ShellHasIcon(window_.hwnd()));
  EXPECT_FALSE(tray_.TrayModify()) << "no icon before the first install";
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(tray_.TrayInstall());
    EXPECT_TRUE(tray_.IsInstalled());
    EXPECT_NE(window_.Proc(), own) << "hooked";
    EXPECT_TRUE(ShellHasIcon(window_.hwnd()));
    EXPECT_TRUE(tray_.TrayModify());

    // A second install neither hooks again nor adds a second icon: one remove undoes both.
    const LONG_PTR hooked = window_.Proc();
    EXPECT_TRUE(tray_.TrayInstall());
    EXPECT_EQ(window_.Proc(), hooked);

    tray_.TrayRemove();
    EXPECT_FALSE(tray_.IsInstalled());
    EXPECT_EQ(window_.Proc(), own);
    EXPECT_FALSE(ShellHasIcon(window_.hwnd()));
    EXPECT_FALSE(tray_.TrayModify());
    tray_.TrayRemove();
    EXPECT_EQ(window_.Proc(), own);
  }
}

TEST_F(TrayIconTest, MinimiseToTrayAndLeftClickBack) {
  const LONG_PTR own = window_.Proc();
  ShowWindow(window_.hwnd(), SW_SHOWNORMAL);
  tray_.MinimizeToTray();
  EXPECT_TRUE(IsWindowVisible(window_.hwnd())) << "not minimised: nothing to hide";

  Minimise();
  ASSERT_TRUE(tray_.TrayInstall());
  tray_.MinimizeToTray();
  EXPECT_FALSE(IsWindowVisible(window_.hwnd()));

  // A left button release on the icon restores the window and takes the icon and hook away.
  EXPECT_EQ(SendMessageW(window_.hwnd(), kTrayCallbackMessage, 0, WM_LBUTTONUP), 0);
  EXPECT_TRUE(window_.seen().callbacks.empty()) << "handled, not passed on";
  EXPECT_TRUE(IsWindowVisible(window_.hwnd()));
  EXPECT_FALSE(IsIconic(window_.hwnd()));
  EXPECT_FALSE(tray_.IsInstalled());
  EXPECT_FALSE(ShellHasIcon(window_.hwnd()));
  EXPECT_EQ(window_.Proc(), own);

  // Once unhooked, the icon's messages are the window's own business.
  EXPECT_EQ(SendMessageW(window_.hwnd(), kTrayCallbackMessage, 0, WM_LBUTTONUP), kOwnResult);
  EXPECT_EQ(window_.seen().callbacks, std::vector<LPARAM>{WM_LBUTTONUP});
  EXPECT_EQ(exits_picked_, 0);
}

TEST_F(TrayIconTest, OtherMessagesReachTheWindowsOwnProcedure) {
  ShowWindow(window_.hwnd(), SW_SHOWNORMAL);
  ASSERT_TRUE(tray_.TrayInstall());
  const HWND hwnd = window_.hwnd();
  for (LPARAM mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MBUTTONUP,
                       WM_LBUTTONUP /* window not minimised */}) {
    EXPECT_EQ(SendMessageW(hwnd, kTrayCallbackMessage, 0, mouse), kOwnResult) << mouse;
  }
  EXPECT_EQ(window_.seen().callbacks,
            (std::vector<LPARAM>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,
                                 WM_MBUTTONUP, WM_LBUTTONUP}));
  EXPECT_EQ(SendMessageW(hwnd, WM_APP + 7, 1, 2), kOwnResult);
  EXPECT_EQ(window_.seen().Count(WM_APP + 7), 1);
  EXPECT_TRUE(tray_.IsInstalled()) << "a left release on a shown window changes nothing";
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_EQ(exits_picked_, 0);
}

// Presses `Keys` in the tray menu once its modal loop runs (a thread timer fires inside it). With
// no menu on the screen it ends any menu mode instead, so a failing test cannot hang.
template <WPARAM... Keys>
void PressKeysInMenu() {
  SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    const HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu == nullptr) {
      EndMenu();
      return;
    }
    for (WPARAM key : {Keys...}) {
      PostMessageW(menu, WM_KEYDOWN, key, 0);
      PostMessageW(menu, WM_KEYUP, key, 0);
    }
  });
}

TEST_F(TrayIconTest, RightClickMenuReportsExitToTheOwner) {
  Minimise();
  ASSERT_TRUE(tray_.TrayInstall());
  tray_.MinimizeToTray();
  const HWND hwnd = window_.hwnd();

  // Dismissed menu: nothing happens, icon and window stay as they were.
  PressKeysInMenu<VK_ESCAPE>();
  EXPECT_EQ(SendMessageW(hwnd, kTrayCallbackMessage, 0, WM_RBUTTONUP), 0);
  EXPECT_EQ(exits_picked_, 0);
  EXPECT_TRUE(tray_.IsInstalled());
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_TRUE(TakeNullMessage(hwnd)) << "WM_NULL posted after the menu";

  // Picking "退出" reports it once; the owner decides what follows.
  PressKeysInMenu<VK_DOWN, VK_RETURN>();
  EXPECT_EQ(SendMessageW(hwnd, kTrayCallbackMessage, 0, WM_RBUTTONUP), 0);
  EXPECT_EQ(exits_picked_, 1);
  EXPECT_TRUE(TakeNullMessage(hwnd));
  EXPECT_TRUE(window_.seen().callbacks.empty());
  EXPECT_TRUE(tray_.IsInstalled());
}

TEST(TrayIconExitTest, OwnerMayRemoveAndDestroyInsideTheExitCallback) {
  // The owner takes the icon away from inside the call: the hook comes off once the message that
  // carried the pick is done with it.
  TestWindow shown;
  ASSERT_NE(shown.hwnd(), nullptr);
  const LONG_PTR own = shown.Proc();
  std::unique_ptr<TrayIcon> tray;
  tray = std::make_unique<TrayIcon>(shown.hwnd(), [&] { tray->TrayRemove(); });
  ASSERT_TRUE(tray->TrayInstall());
  PressKeysInMenu<VK_DOWN, VK_RETURN>();
  EXPECT_EQ(SendMessageW(shown.hwnd(), kTrayCallbackMessage, 0, WM_RBUTTONUP), 0);
  EXPECT_FALSE(tray->IsInstalled());
  EXPECT_FALSE(ShellHasIcon(shown.hwnd()));
  EXPECT_EQ(shown.Proc(), own);

  // The owner ends the program: the tray object and the window go away inside the call.
  TestWindow closing;
  ASSERT_NE(closing.hwnd(), nullptr);
  tray = std::make_unique<TrayIcon>(closing.hwnd(), [&] {
    tray.reset();
    DestroyWindow(closing.hwnd());
  });
  ASSERT_TRUE(tray->TrayInstall());
  PressKeysInMenu<VK_DOWN, VK_RETURN>();
  EXPECT_EQ(SendMessageW(closing.hwnd(), kTrayCallbackMessage, 0, WM_RBUTTONUP), 0);
  EXPECT_EQ(tray, nullptr);
  EXPECT_FALSE(IsWindow(closing.hwnd()));
  EXPECT_FALSE(ShellHasIcon(closing.hwnd()));
}

TEST_F(TrayIconTest, TaskbarCreatedAddsTheIconAgainWhileInTheTray) {
  const HWND hwnd = window_.hwnd();
  const UINT taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
  ASSERT_NE(taskbar_created, 0u);

  // Not in the tray: the message only reaches the window and adds nothing.
  SendMessageW(hwnd, taskbar_created, 0, 0);
  EXPECT_FALSE(ShellHasIcon(hwnd));
  EXPECT_EQ(window_.seen().Count(taskbar_created), 1);

  Minimise();
  ASSERT_TRUE(tray_.TrayInstall());
  ASSERT_TRUE(ShellDeleteIcon(hwnd)) << "the old shell went away with the icon";
  SendMessageW(hwnd, taskbar_created, 0, 0);
  EXPECT_TRUE(ShellHasIcon(hwnd));
  EXPECT_EQ(window_.seen().Count(taskbar_created), 2) << "passed on as well";

  // A shell that still has the icon (only its DPI changed) keeps exactly one.
  SendMessageW(hwnd, taskbar_created, 0, 0);
  EXPECT_TRUE(ShellHasIcon(hwnd));
  tray_.TrayRemove();
  EXPECT_FALSE(ShellHasIcon(hwnd));
}

TEST_F(TrayIconTest, RefusedAddLeavesTheWindowOnTheTaskbarUnhooked) {
  const HWND hwnd = window_.hwnd();
  const LONG_PTR own = window_.Proc();
  // Someone else already holds (hwnd, 0), so the shell refuses our add.
  NOTIFYICONDATAW other{};
  other.cbSize = sizeof(other);
  other.hWnd = hwnd;
  other.uFlags = NIF_ICON;
  other.hIcon = icon_;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &other));

  Minimise();
  EXPECT_FALSE(tray_.TrayInstall());
  EXPECT_FALSE(tray_.IsInstalled());
  EXPECT_EQ(window_.Proc(), own);
  tray_.MinimizeToTray();
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_TRUE(IsIconic(hwnd));
  EXPECT_FALSE(tray_.TrayModify());

  ASSERT_TRUE(ShellDeleteIcon(hwnd));
  EXPECT_TRUE(tray_.TrayInstall()) << "the next minimising tries again";
  tray_.TrayRemove();
}

TEST(TrayIconHookTest, DestroyingTheWindowInTheTrayTakesIconAndHookAlong) {
  TestWindow window;
  ASSERT_NE(window.hwnd(), nullptr);
  const HWND hwnd = window.hwnd();
  TrayIcon tray(hwnd, nullptr);
  ASSERT_TRUE(tray.TrayInstall());
  DestroyWindow(hwnd);
  EXPECT_FALSE(tray.IsInstalled());
  EXPECT_FALSE(ShellHasIcon(hwnd));
}

// Kernel handles and USER/GDI objects of this process, where the system counts them. Wine's
// counters read 0, so the lowest free slot of the process's handle and GDI tables is probed as
// well: a leak fills slots and pushes it up. Wine's USER table is shared with the shell process,
// whose own work moves its free slot both ways, so that probe is only printed.
struct ResourceCounts {
  DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  DWORD handles = ProcessHandles();
  uintptr_t free_handle_slot = Probe(CreateEventW(nullptr, FALSE, FALSE, nullptr), CloseHandle);
  uintptr_t free_user_slot = Probe(CreatePopupMenu(), DestroyMenu) & 0xFFFF;
  uintptr_t free_gdi_slot = Probe(CreateSolidBrush(0), DeleteObject) & 0xFFFF;

  static DWORD ProcessHandles() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
  }
  template <typename Handle, typename Close>
  static uintptr_t Probe(Handle handle, Close close) {
    const auto value = reinterpret_cast<uintptr_t>(handle);
    close(handle);
    return value;
  }
  void Print(const char* label) const {
    std::printf(
        "%s: GDI %lu, USER %lu, handles %lu; free slots: handle 0x%llx, USER 0x%llx, "
        "GDI 0x%llx\n",
        label, gdi, user, handles, static_cast<unsigned long long>(free_handle_slot),
        static_cast<unsigned long long>(free_user_slot),
        static_cast<unsigned long long>(free_gdi_slot));
  }
};

void ExpectNoGrowth(const ResourceCounts& before, const ResourceCounts& after) {
  constexpr DWORD kSlack = 2;  // lazily created system objects, not per-call growth
  EXPECT_LE(after.gdi, before.gdi + kSlack);
  EXPECT_LE(after.user, before.user + kSlack);
  EXPECT_LE(after.handles, before.handles + kSlack);
  EXPECT_LE(after.free_handle_slot, before.free_handle_slot + 4 * kSlack);  // handles step by 4
  EXPECT_LE(after.free_gdi_slot, before.free_gdi_slot + kSlack);
}

TEST_F(TrayIconTest, RepeatedModifyAndRoundTripsHoldNoResources) {
  const HICON other = LoadIconW(nullptr, IDI_WARNING);
  Minimise();
  ASSERT_TRUE(tray_.TrayInstall());
  ASSERT_TRUE(tray_.TrayModify());  // first calls may set up the shell's side
  PumpFor(500);
  const ResourceCounts before_modify;
  for (int i = 0; i < 1000; ++i) {
    tray_.SetIcon(i % 2 ? icon_ : other);
    ASSERT_TRUE(tray_.TrayModify());
  }
  PumpFor(500);
  const ResourceCounts after_modify;
  before_modify.Print("before 1000 SetIcon+TrayModify");
  after_modify.Print("after 1000 SetIcon+TrayModify ");
  ExpectNoGrowth(before_modify, after_modify);

  tray_.TrayRemove();
  PumpFor(500);
  const ResourceCounts before_rounds;
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(tray_.TrayInstall());
    tray_.TrayRemove();
  }
  PumpFor(500);
  const ResourceCounts after_rounds;
  before_rounds.Print("before 100 install/remove");
  after_rounds.Print("after 100 install/remove ");
  ExpectNoGrowth(before_rounds, after_rounds);
}

// Runs the message loop until `window` has seen `count` ticks of `id`, or `limit_ms` passed.
// Returns the milliseconds waited.
ULONGLONG WaitForTicks(Seen& seen, UINT_PTR id, size_t count, DWORD limit_ms) {
  const ULONGLONG start = GetTickCount64();
  auto ticks = [&] {
    size_t n = 0;
    for (UINT_PTR t : seen.timers) n += t == id;
    return n;
  };
  while (ticks() < count && GetTickCount64() - start < limit_ms) PumpFor(10);
  return GetTickCount64() - start;
}

TEST_F(TrayIconTest, StatusDrivesTheTrayIconAndTheBlinkTimer) {
  const HICON updated = icon_;
  const HICON failed = LoadIconW(nullptr, IDI_WARNING);
  tray_.SetIcon(nullptr);
  TrayStatus status(tray_, window_.hwnd(), updated, failed);
  EXPECT_EQ(tray_.Icon(), updated) << "start-up's icon, remembered without a tray icon";
  EXPECT_TRUE(status.BlinkEnabled());

  // Blinking from creation and with no icon present: only the remembered handle changes.
  status.OnBlinkTick();
  EXPECT_EQ(tray_.Icon(), failed);
  status.ShowUpdateStatus(UpdateResult::kNoFailure);
  EXPECT_EQ(tray_.Icon(), updated);
  EXPECT_FALSE(status.BlinkEnabled());

  // In the tray the choice goes out at once.
  Minimise();
  ASSERT_TRUE(tray_.TrayInstall());
  status.ShowUpdateStatus(UpdateResult::kTransferFailed);
  EXPECT_EQ(tray_.Icon(), failed);
  EXPECT_EQ(status.LastUpdateResult(), UpdateResult::kTransferFailed);
  status.OnBlinkTick();
  EXPECT_EQ(tray_.Icon(), failed) << "no blinking after a steady result";

  // An unconfirmed account: the icon keeps its handle and the first blink comes one full interval
  // later.
  PumpFor(100);
  window_.seen().timers.clear();
  status.ShowUpdateStatus(UpdateResult::kAccountNotConfirmed);
  EXPECT_EQ(tray_.Icon(), failed);
  const ULONGLONG waited = WaitForTicks(window_.seen(), kBlinkTimerId, 1, 3000);
  EXPECT_GE(waited, kBlinkTickMs - 50) << "restarted, not left running";
  EXPECT_LT(waited, 3000u);
  status.OnBlinkTick();
  EXPECT_EQ(tray_.Icon(), updated) << "goes on from the phase the first blinking left";
  status.OnBlinkTick();
  EXPECT_EQ(tray_.Icon(), failed);
  status.ShowUpdateStatus(UpdateResult::kNoFailure);
  EXPECT_EQ(tray_.Icon(), updated);
  window_.seen().timers.clear();
  PumpFor(700);
  for (UINT_PTR id : window_.seen().timers)
    EXPECT_NE(id, kBlinkTimerId) << "the blink timer stopped";
}

// A cycle whose answer came but whose rows the real Win32 hosts store could not write, because
// another program holds the hosts file open without sharing: the steady failure icon, and the
// tool-tip names the failure. Once the file is free again the next cycle turns it back.
class AnsweringService final : public PageFetch, public AccountSource {
 public:
  Result<std::string> Get(std::string_view) override { return response_; }
  void Cancel() override {}
  AccountBoxes Current() const override { return {}; }

 private:
  std::string response_ = "HTTP/1.1 200 OK\r\n\r\n<p>BEGIN</p>\r\n<p>host1&nbsp;10.0.0.1</p>\r\n";
};

TEST_F(TrayIconTest, AHostsFileHeldOpenWithoutSharingShowsTheSteadyFailureIconAndSaysWhy) {
  wchar_t temp[MAX_PATH + 1];
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
  const std::filesystem::path root =
      std::filesystem::path(temp) /
      (L"kalvane-tray-hosts-" + std::to_wstring(GetCurrentProcessId()));
  std::filesystem::create_directories(root / L"etc");
  const std::filesystem::path hosts = root / L"etc" / L"hosts";
  std::ofstream(hosts, std::ios::binary) << "127.0.0.1 localhost\r\n";
  HostsStore store(MakeWin32FileSystem(), {hosts, root / L"hosts.bak"}, {}, "dns.kalvane.example");
  AnsweringService service;
  const SystemAnsiCodePage code_page;
  UpdateCycle cycle(service, store, code_page);

  const HICON updated = icon_;
  const HICON failed = LoadIconW(nullptr, IDI_WARNING);
  TrayStatus status(tray_, window_.hwnd(), updated, failed);
  Minimise();
  ASSERT_TRUE(tray_.TrayInstall());

  HANDLE held = CreateFileW(hosts.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::optional<UpdateResult> result = cycle.UpdateDomains(service);
  ASSERT_EQ(result, UpdateResult::kTransferFailed);
  status.ShowUpdateStatus(*result, StatusLine(cycle.LastReport(), {12, 3}));
  EXPECT_EQ(tray_.Icon(), failed);
  EXPECT_FALSE(status.BlinkEnabled());
  EXPECT_EQ(tray_.Tip(), L"Kalvane\n无法读取 hosts 文件：文件正被其他程序使用 (12:03)");
  CloseHandle(held);

  result = cycle.UpdateDomains(service);
  ASSERT_EQ(result, UpdateResult::kNoFailure);
  status.ShowUpdateStatus(*result, StatusLine(cycle.LastReport(), {12, 4}));
  EXPECT_EQ(tray_.Icon(), updated);
  EXPECT_EQ(tray_.Tip(), L"Kalvane\n已更新 1 条映射 (12:04)");
  tray_.TrayRemove();
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace kalvane
