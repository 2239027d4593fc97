#include <gtest/gtest.h>
#include <windows.h>
// The shell's declarations build on windows.h.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "tray/tray_icon-win32.h"
#include "tray/tray_notice_check-win32.h"
#include "tray/tray_status-win32.h"

namespace kalvane {
namespace {

constexpr LRESULT kOwnResult = 4242;
// The callback as NOTIFYICON_VERSION_4 sends it for a right click's release, the context-menu key
// or Shift+F10: the event and the icon id in lParam, the anchor in wParam.
constexpr LPARAM kContextMenu = MAKELPARAM(WM_CONTEXTMENU, 0);
constexpr WPARAM kAnchor = MAKEWPARAM(200, 150);

// What the window's own procedure saw. A test window answers every message it does not leave to
// DefWindowProcW with kOwnResult, so passing on can be told from answering.
struct Seen {
  std::vector<UINT> messages;
  std::vector<LPARAM> callbacks;  // lParam of every kTrayCallbackMessage

  int Count(UINT msg) const {
    int n = 0;
    for (UINT m : messages) n += m == msg;
    return n;
  }
  // Callbacks of one mouse message. (With the pointer on the icon, the shell's own notices of its
  // moves reach the window as well.)
  int Callbacks(LPARAM mouse) const {
    return static_cast<int>(std::count(callbacks.begin(), callbacks.end(), mouse));
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
  if (msg == WM_APP + 7) return kOwnResult;
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

ATOM RegisterWindowClass(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = name;
  return RegisterClassW(&wc);
}

// A real top-level window with RecordingProc as its own procedure.
class TestWindow {
 public:
  TestWindow() {
    static const ATOM kClass = RegisterWindowClass(L"KalvaneTrayTest", RecordingProc);
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

// Puts the pointer on the icon of `hwnd`, where the shell says it is, or else on the first cell
// of Wine's tray window (Wine cannot say where an icon is). False when neither is found.
bool PointAtIcon(HWND hwnd) {
  NOTIFYICONIDENTIFIER icon{};
  icon.cbSize = sizeof(icon);
  icon.hWnd = hwnd;
  RECT rect{};
  if (SUCCEEDED(Shell_NotifyIconGetRect(&icon, &rect))) {
    return SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  }
  const HWND tray = FindWindowW(nullptr, L"Wine System Tray");
  if (tray == nullptr || !GetClientRect(tray, &rect)) return false;
  POINT cell_centre{rect.bottom / 2, rect.bottom / 2};  // square cells, as high as the window
  return ClientToScreen(tray, &cell_centre) && SetCursorPos(cell_centre.x, cell_centre.y);
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
  TrayCommand last_picked_ = TrayCommand::kNone;
  TrayIcon tray_{window_.hwnd(), [this](TrayCommand picked) {
                   last_picked_ = picked;
                   if (picked == TrayCommand::kExit) ++exits_picked_;
                 }};
  HICON icon_ = nullptr;
};

TEST_F(TrayIconTest, InstallAndRemoveInPairsPutTheOwnProcedureBack) {
  const LONG_PTR own = window_.Proc();
  EXPECT_FALSE(ShellHasIcon(window_.hwnd()));
  EXPECT_FALSE(tray_.Modify()) << "no icon before the first install";
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(tray_.Add());
    EXPECT_TRUE(tray_.IsInstalled());
    EXPECT_NE(window_.Proc(), own) << "hooked";
    EXPECT_TRUE(ShellHasIcon(window_.hwnd()));
    EXPECT_TRUE(tray_.Modify());

    // A second install neither hooks again nor adds a second icon: one remove undoes both.
    const LONG_PTR hooked = window_.Proc();
    EXPECT_TRUE(tray_.Add());
    EXPECT_EQ(window_.Proc(), hooked);

    tray_.Remove();
    EXPECT_FALSE(tray_.IsInstalled());
    EXPECT_EQ(window_.Proc(), own);
    EXPECT_FALSE(ShellHasIcon(window_.hwnd()));
    EXPECT_FALSE(tray_.Modify());
    tray_.Remove();
    EXPECT_EQ(window_.Proc(), own);
  }
}

TEST_F(TrayIconTest, MinimiseToTrayAndLeftClickBack) {
  const LONG_PTR own = window_.Proc();
  ShowWindow(window_.hwnd(), SW_SHOWNORMAL);
  tray_.MinimizeToTray();
  EXPECT_TRUE(IsWindowVisible(window_.hwnd())) << "not minimised: nothing to hide";

  Minimise();
  ASSERT_TRUE(tray_.Add());
  tray_.MinimizeToTray();
  EXPECT_FALSE(IsWindowVisible(window_.hwnd()));
  ASSERT_TRUE(PointAtIcon(window_.hwnd()));

  // A left button release on the icon restores the window and takes the icon and hook away.
  EXPECT_EQ(SendMessageW(window_.hwnd(), kTrayCallbackMessage, 0, WM_LBUTTONUP), 0);
  EXPECT_EQ(window_.seen().Callbacks(WM_LBUTTONUP), 0) << "handled, not passed on";
  EXPECT_TRUE(IsWindowVisible(window_.hwnd()));
  EXPECT_FALSE(IsIconic(window_.hwnd()));
  EXPECT_FALSE(tray_.IsInstalled());
  EXPECT_FALSE(ShellHasIcon(window_.hwnd()));
  EXPECT_EQ(window_.Proc(), own);

  // Once unhooked, the icon's messages are the window's own business.
  EXPECT_EQ(SendMessageW(window_.hwnd(), kTrayCallbackMessage, 0, WM_LBUTTONUP), kOwnResult);
  EXPECT_EQ(window_.seen().Callbacks(WM_LBUTTONUP), 1);
  EXPECT_EQ(exits_picked_, 0);
}

TEST_F(TrayIconTest, OtherMessagesReachTheWindowsOwnProcedure) {
  ShowWindow(window_.hwnd(), SW_SHOWNORMAL);
  ASSERT_TRUE(tray_.Add());
  const HWND hwnd = window_.hwnd();
  // With version 4 the right release is followed by WM_CONTEXTMENU, which alone opens the menu.
  for (LPARAM mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP,
                       WM_MBUTTONUP, WM_LBUTTONUP /* window not minimised */}) {
    EXPECT_EQ(SendMessageW(hwnd, kTrayCallbackMessage, 0, mouse), kOwnResult) << mouse;
  }
  // The shell adds notices of its own when the pointer rests on the icon: moves only.
  std::vector<LPARAM> passed_on = window_.seen().callbacks;
  EXPECT_GE(std::erase(passed_on, WM_MOUSEMOVE), 1u);
  EXPECT_EQ(passed_on, (std::vector<LPARAM>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,
                                            WM_RBUTTONUP, WM_MBUTTONUP, WM_LBUTTONUP}));
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
  ASSERT_TRUE(tray_.Add());
  tray_.MinimizeToTray();
  const HWND hwnd = window_.hwnd();
  ASSERT_TRUE(PointAtIcon(hwnd));

  // Dismissed menu: nothing happens, icon and window stay as they were.
  PressKeysInMenu<VK_ESCAPE>();
  EXPECT_EQ(SendMessageW(hwnd, kTrayCallbackMessage, kAnchor, kContextMenu), 0);
  EXPECT_EQ(exits_picked_, 0);
  EXPECT_TRUE(tray_.IsInstalled());
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_TRUE(TakeNullMessage(hwnd)) << "WM_NULL posted after the menu";

  // The other items by their access keys, as the keyboard picks them.
  PressKeysInMenu<'S'>();
  EXPECT_EQ(SendMessageW(hwnd, kTrayCallbackMessage, kAnchor, kContextMenu), 0);
  EXPECT_EQ(last_picked_, TrayCommand::kStatus);
  PressKeysInMenu<'U'>();
  EXPECT_EQ(SendMessageW(hwnd, kTrayCallbackMessage, kAnchor, kContextMenu), 0);
  EXPECT_EQ(last_picked_, TrayCommand::kUpdateNow);
  PressKeysInMenu<'N'>();
  EXPECT_EQ(SendMessageW(hwnd, kTrayCallbackMessage, kAnchor, kContextMenu), 0);
  EXPECT_EQ(last_picked_, TrayCommand::kNotifications);
  EXPECT_EQ(exits_picked_, 0);

  // Picking "退出", the last item, reports it once; the owner decides what follows.
  PressKeysInMenu<VK_UP, VK_RETURN>();
  EXPECT_EQ(SendMessageW(hwnd, kTrayCallbackMessage, kAnchor, kContextMenu), 0);
  EXPECT_EQ(exits_picked_, 1);
  EXPECT_TRUE(TakeNullMessage(hwnd));
  EXPECT_EQ(window_.seen().Callbacks(WM_RBUTTONUP), 0) << "handled, not passed on";
  EXPECT_TRUE(tray_.IsInstalled());
}

TEST(TrayIconExitTest, OwnerMayRemoveAndDestroyInsideTheExitCallback) {
  // The owner takes the icon away from inside the call: the hook comes off once the message that
  // carried the pick is done with it.
  TestWindow shown;
  ASSERT_NE(shown.hwnd(), nullptr);
  const LONG_PTR own = shown.Proc();
  std::unique_ptr<TrayIcon> tray;
  tray = std::make_unique<TrayIcon>(shown.hwnd(), [&](TrayCommand) { tray->Remove(); });
  ASSERT_TRUE(tray->Add());
  ASSERT_TRUE(PointAtIcon(shown.hwnd()));
  PressKeysInMenu<VK_UP, VK_RETURN>();
  EXPECT_EQ(SendMessageW(shown.hwnd(), kTrayCallbackMessage, kAnchor, kContextMenu), 0);
  EXPECT_FALSE(tray->IsInstalled());
  EXPECT_FALSE(ShellHasIcon(shown.hwnd()));
  EXPECT_EQ(shown.Proc(), own);

  // The owner ends the program: the tray object and the window go away inside the call.
  TestWindow closing;
  ASSERT_NE(closing.hwnd(), nullptr);
  tray = std::make_unique<TrayIcon>(closing.hwnd(), [&](TrayCommand) {
    tray.reset();
    DestroyWindow(closing.hwnd());
  });
  ASSERT_TRUE(tray->Add());
  ASSERT_TRUE(PointAtIcon(closing.hwnd()));
  PressKeysInMenu<VK_UP, VK_RETURN>();
  EXPECT_EQ(SendMessageW(closing.hwnd(), kTrayCallbackMessage, kAnchor, kContextMenu), 0);
  EXPECT_EQ(tray, nullptr);
  EXPECT_FALSE(IsWindow(closing.hwnd()));
  EXPECT_FALSE(ShellHasIcon(closing.hwnd()));
}

// A top-level window of the taskbar's class, as any program can make one.
HWND MakeFakeTaskbar() {
  static const ATOM kClass = RegisterWindowClass(L"Shell_TrayWnd", DefWindowProcW);
  return CreateWindowExW(WS_EX_TOPMOST, MAKEINTATOM(kClass), L"", WS_POPUP | WS_VISIBLE, 600, 500,
                         200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

TEST_F(TrayIconTest, NoticesTheUserCannotHaveMadeChangeNothing) {
  Minimise();
  ASSERT_TRUE(tray_.Add());
  tray_.MinimizeToTray();
  const HWND hwnd = window_.hwnd();
  ASSERT_TRUE(PointAtIcon(hwnd));
  POINT on_icon{};
  GetCursorPos(&on_icon);
  EXPECT_TRUE(PointerOnTrayIcon(hwnd, 0));
  EXPECT_TRUE(IsNotificationAreaWindow(WindowFromPoint(on_icon)));

  // The pointer on a look-alike of the taskbar that the shell did not make, with the keyboard
  // focus there too, then on the bare screen.
  const HWND fake = MakeFakeTaskbar();
  ASSERT_NE(fake, nullptr);
  SetForegroundWindow(fake);
  SetFocus(fake);
  EXPECT_FALSE(IsNotificationAreaWindow(fake));
  EXPECT_FALSE(NotificationAreaHasKeyboardFocus());
  for (const POINT away : {POINT{700, 550}, POINT{900, 20}}) {
    ASSERT_TRUE(SetCursorPos(away.x, away.y));
    POINT at{};
    ASSERT_TRUE(GetCursorPos(&at) && at.x == away.x && at.y == away.y) << "pointer not moved";
    EXPECT_FALSE(PointerOnTrayIcon(hwnd, 0)) << away.x;
    // The button releases the icon acts on are swallowed; whatever else is posted goes on to the
    // window's own procedure, as every other notice does.
    const struct {
      WPARAM wparam;
      LPARAM lparam;
      LRESULT result;
    } kNotices[] = {{0, WM_RBUTTONUP, kOwnResult},  // version 4 opens the menu on WM_CONTEXTMENU
                    {0, WM_LBUTTONUP, 0},
                    {7, WM_RBUTTONUP, kOwnResult},
                    {static_cast<WPARAM>(-1), WM_LBUTTONUP, 0},
                    {0, 0x10000 | WM_RBUTTONUP, kOwnResult},
                    {0, static_cast<LPARAM>(-1), kOwnResult},
                    {0, WM_CONTEXTMENU, 0},
                    {0, NIN_KEYSELECT, 0}};
    for (const auto& notice : kNotices) {
      PressKeysInMenu<VK_ESCAPE>();  // a menu that opens all the same is closed again
      EXPECT_EQ(SendMessageW(hwnd, kTrayCallbackMessage, notice.wparam, notice.lparam),
                notice.result)
          << notice.lparam;
      EXPECT_FALSE(TakeNullMessage(hwnd)) << "a menu opened for " << notice.lparam;
      PumpFor(350);  // the menu's timer goes off without a menu
    }
  }
  EXPECT_FALSE(IsWindowVisible(hwnd)) << "restored";
  EXPECT_TRUE(tray_.IsInstalled());
  EXPECT_EQ(last_picked_, TrayCommand::kNone);
  DestroyWindow(fake);
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
  ASSERT_TRUE(tray_.Add());
  ASSERT_TRUE(ShellDeleteIcon(hwnd)) << "the old shell went away with the icon";
  SendMessageW(hwnd, taskbar_created, 0, 0);
  EXPECT_TRUE(ShellHasIcon(hwnd));
  EXPECT_EQ(window_.seen().Count(taskbar_created), 2) << "passed on as well";

  // A shell that still has the icon (only its DPI changed) keeps exactly one.
  SendMessageW(hwnd, taskbar_created, 0, 0);
  EXPECT_TRUE(ShellHasIcon(hwnd));
  tray_.Remove();
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
  EXPECT_FALSE(tray_.Add());
  EXPECT_FALSE(tray_.IsInstalled());
  EXPECT_EQ(window_.Proc(), own);
  tray_.MinimizeToTray();
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_TRUE(IsIconic(hwnd));
  EXPECT_FALSE(tray_.Modify());

  ASSERT_TRUE(ShellDeleteIcon(hwnd));
  EXPECT_TRUE(tray_.Add()) << "the next minimising tries again";
  tray_.Remove();
}

TEST(TrayIconHookTest, DestroyingTheWindowInTheTrayTakesIconAndHookAlong) {
  TestWindow window;
  ASSERT_NE(window.hwnd(), nullptr);
  const HWND hwnd = window.hwnd();
  TrayIcon tray(hwnd, nullptr);
  ASSERT_TRUE(tray.Add());
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
  ASSERT_TRUE(tray_.Add());
  ASSERT_TRUE(tray_.Modify());  // first calls may set up the shell's side
  PumpFor(500);
  const ResourceCounts before_modify;
  for (int i = 0; i < 1000; ++i) {
    tray_.SetIcon(i % 2 ? icon_ : other);
    ASSERT_TRUE(tray_.Modify());
  }
  PumpFor(500);
  const ResourceCounts after_modify;
  before_modify.Print("before 1000 SetIcon+Modify");
  after_modify.Print("after 1000 SetIcon+Modify ");
  ExpectNoGrowth(before_modify, after_modify);

  tray_.Remove();
  PumpFor(500);
  const ResourceCounts before_rounds;
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(tray_.Add());
    tray_.Remove();
  }
  PumpFor(500);
  const ResourceCounts after_rounds;
  before_rounds.Print("before 100 install/remove");
  after_rounds.Print("after 100 install/remove ");
  ExpectNoGrowth(before_rounds, after_rounds);
}

TEST_F(TrayIconTest, StatusDrivesTheTrayIconAndTheBlinkTimer) {
  const HICON updated = icon_;
  const HICON failed = LoadIconW(nullptr, IDI_WARNING);
  tray_.SetIcon(nullptr);
  TrayStatus status(tray_, {updated, failed, LoadIconW(nullptr, IDI_QUESTION)});
  EXPECT_EQ(tray_.Icon(), updated) << "start-up's icon, remembered without a tray icon";

  // Blinking from creation and with no icon present: only the remembered handle changes.
  status.OnBlinkTick();
  EXPECT_EQ(tray_.Icon(), failed);
  status.ShowUpdateStatus(TrayIconState::kUpdated);
  EXPECT_EQ(tray_.Icon(), updated);
  status.OnBlinkTick();
  EXPECT_EQ(tray_.Icon(), updated) << "steady, no blinking";

  // In the tray the choice goes out at once.
  Minimise();
  ASSERT_TRUE(tray_.Add());
  status.ShowUpdateStatus(TrayIconState::kFailed);
  EXPECT_EQ(tray_.Icon(), failed);
  status.OnBlinkTick();
  EXPECT_EQ(tray_.Icon(), failed) << "no blinking after a steady result";

  // An unconfirmed account: the icon keeps its handle, and the blink timer, which ticks by itself,
  // flips it one full interval later.
  PumpFor(100);
  status.ShowUpdateStatus(TrayIconState::kBlinking);
  EXPECT_EQ(tray_.Icon(), failed);
  const ULONGLONG start = GetTickCount64();
  while (tray_.Icon() == failed && GetTickCount64() - start < 3000) PumpFor(10);
  EXPECT_GE(GetTickCount64() - start, kBlinkTickMs - 50) << "restarted, not left running";
  EXPECT_EQ(tray_.Icon(), updated) << "goes on from the phase the first blinking left";
  status.ShowUpdateStatus(TrayIconState::kUpdated);
  EXPECT_EQ(tray_.Icon(), updated);
  PumpFor(700);
  EXPECT_EQ(tray_.Icon(), updated) << "the blink timer stopped";
}

}  // namespace
}  // namespace kalvane
