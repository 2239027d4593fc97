#include "app/main_window-win32.h"

#include "app/res/resource_ids.h"
#include "app/window_controls-win32.h"
#include "platform/dpi-win32.h"
#include "platform/shell_open-win32.h"
#include "platform/wide_text-win32.h"
#include "platform/window_procedure-win32.h"
#include "status/status_line.h"

namespace kalvane {
namespace {

// Posted by the network notice when an interface comes up or gets an address.
constexpr UINT kNetworkChangedMessage = WM_APP + 3;

UniqueIcon LoadIconResource(HINSTANCE instance, int id, int size) {
  return UniqueIcon(static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

}  // namespace

std::unique_ptr<MainWindow> MainWindow::Create(HINSTANCE instance,
                                               const MainWindowServices& services) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &MemberWindowProc<MainWindow, &MainWindow::HandleMessage>;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kMainWindowClass;
  RegisterClassExW(&window_class);

  std::unique_ptr<MainWindow> window(new MainWindow(instance, services));
  HWND hwnd = CreateWindowExW(kMainWindowExStyle, kMainWindowClass, ToWide(kWindowCaption).c_str(),
                              kMainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, nullptr, nullptr, instance, window.get());
  return hwnd != nullptr ? std::move(window) : nullptr;
}

MainWindow::MainWindow(HINSTANCE instance, const MainWindowServices& services)
    : instance_(instance),
      services_(services),
      form_(controls_, services.settings, services.code_page) {}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) {
    if (controller_) controller_->Close();
    DestroyMainWindow();
  }
  services_.pump.wait().Serve({}, {});
  network_notice_.reset();
  hosts_watch_.reset();
  // The tray pieces refer to the window's icons: they go first.
  refresh_timer_.reset();
  controller_.reset();
  display_.reset();
  tray_.reset();
}

LRESULT MainWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == activate_message_ && activate_message_ != 0) {
    OnActivateRequest();
    return 0;
  }
  switch (message) {
    case WM_NCCREATE:
      hwnd_ = hwnd;
      controls_.SetWindow(hwnd);
      return DefWindowProcW(hwnd, message, wparam, lparam);
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      controls_.SetWindow(nullptr);
      return DefWindowProcW(hwnd, message, wparam, lparam);
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_SIZE:
      OnResized(wparam);
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wparam));
      return DefWindowProcW(hwnd, message, wparam, lparam);
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_CLOSE:
      OnCloseQuery();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (controller_) controller_->EndSession(wparam != FALSE);
      return 0;
    case WM_POWERBROADCAST:
      OnPowerBroadcast(wparam);
      return TRUE;
    case kNetworkChangedMessage:
      if (controller_) controller_->OnNetworkUp();
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

void MainWindow::OnCreate() {
  services_.pump.SetDialogWindow(hwnd_);
  dpi_ = WindowDpi(hwnd_);
  CreateControls(hwnd_, instance_);
  LayOut();
  LoadIcons();

  // Not opened to lower-integrity senders: a second start runs elevated as well, and a process
  // without those rights has no business pulling the window out of the tray.
  activate_message_ = RegisterWindowMessageW(kActivateMessageName);

  // Both timers tick from the window's creation; the icon record starts with the success icon.
  tray_ = std::make_unique<TrayIcon>(
      hwnd_, [this](TrayCommand picked) { OnTrayCommand(picked); },
      [this] {
        return TrayMenuState{controller_->CycleRunning(), display_->BalloonsOn()};
      });
  display_ = std::make_unique<StatusDisplay>(
      instance_, hwnd_, *tray_,
      TrayPictures{updated_small_.get(), failed_small_.get(), unconfirmed_small_.get()},
      services_.code_page, services_.refused_hosts, services_.private_files, services_.history,
      [this] { return controller_->NextCycle(); });
  UpdateControllerHost& host = *this;
  controller_ = std::make_unique<UpdateController>(services_.cycle, form_, services_.restore,
                                                   *display_, host, services_.pump);
  refresh_timer_ = std::make_unique<WindowTimer>([this] { OnRefreshTick(); });
  refresh_timer_->Start(kRefreshTickMs);
  WatchForChanges();
}

void MainWindow::WatchForChanges() {
  // The folder watch is served by the thread's waits, the main loop's and a cycle's alike.
  if (!services_.hosts.empty()) {
    hosts_watch_ =
        std::make_unique<HostsWatch>(services_.hosts, services_.restore, *display_, services_.pump);
    services_.pump.wait().Serve([this] { return hosts_watch_ ? hosts_watch_->handle() : nullptr; },
                                [this] {
                                  if (hosts_watch_) hosts_watch_->OnSignalled();
                                });
  }
  network_notice_ = std::make_unique<NetworkChangeNotice>(hwnd_, kNetworkChangedMessage);
}

void MainWindow::LoadIcons() {
  const int small_size = GetSystemMetrics(SM_CXSMICON);
  const int large_size = GetSystemMetrics(SM_CXICON);
  updated_small_ = LoadIconResource(instance_, IDI_UPDATED, small_size);
  failed_small_ = LoadIconResource(instance_, IDI_FAILED, small_size);
  unconfirmed_small_ = LoadIconResource(instance_, IDI_UNCONFIRMED, small_size);
  updated_large_ = LoadIconResource(instance_, IDI_UPDATED, large_size);
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(updated_small_.get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(updated_large_.get()));
}

void MainWindow::LayOut() {
  // The old font goes only once no control holds it any more.
  font_ = LayOutControls(hwnd_, dpi_);
}

void MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();
}

void MainWindow::OnActivate(WORD state) {
  if (state == WA_INACTIVE) focus_control_ = FocusedControl(hwnd_);
}

void MainWindow::OnSetFocus() { FocusControl(hwnd_, focus_control_); }

void MainWindow::OnCommand(int control, int notification) {
  if (control == kWebPageButton && notification == BN_CLICKED) {
    OnWebPageClicked();
  } else if (control == kSaveButton && notification == BN_CLICKED) {
    OnSaveClicked();
  } else if (control == kUpdatingCheck && notification == BN_CLICKED) {
    OnUpdatingToggled();
  } else if (control == kPasswordEdit && notification == EN_CHANGE) {
    OnPasswordEdited();
  }
}

void MainWindow::OnRefreshTick() {
  display_->OnSecondTick();
  controller_->OnRefreshTick();
}

void MainWindow::OnPowerBroadcast(WPARAM event) {
  // Windows sends both after a wake the user caused; the timing makes them one cycle.
  if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) controller_->OnWake();
}

bool MainWindow::StartUp() {
  form_.Load();
  // The first cycle runs before the window is shown; its result is what the tray will show.
  return controller_ && controller_->StartUp() && hwnd_ != nullptr;
}

void MainWindow::OnWebPageClicked() {
  // Through the desktop shell, so that the browser does not run with this program's
  // administrator token. No browser or no association simply shows nothing; without a shell to
  // ask, the address is shown for the user to open.
  if (OpenAsDesktopUser(L"" KALVANE_WEB_PAGE) == ShellOpenPath::kShellUnreachable) {
    controls_.ShowMessage(u"请在浏览器中打开：" KALVANE_WEB_PAGE);
  }
}

void MainWindow::OnSaveClicked() {
  form_.Save();
  controller_->OnSaved();
}

void MainWindow::OnResized(WPARAM size_type) {
  if (size_type != SIZE_MINIMIZED || tray_ == nullptr) return;
  tray_->Add();
  tray_->MinimizeToTray();
}

void MainWindow::OnTrayCommand(TrayCommand picked) {
  switch (picked) {
    case TrayCommand::kUpdateNow:
      controller_->OnUpdateNow();
      break;
    case TrayCommand::kStatus:
      display_->OpenWindow();
      break;
    case TrayCommand::kNotifications:
      display_->ToggleBalloons();
      break;
    case TrayCommand::kExit:
      OnTrayExit();
      break;
    case TrayCommand::kNone:
      break;
  }
}

void MainWindow::OnTrayExit() {
  tray_->Remove();
  OnCloseQuery();
}

void MainWindow::OnCloseQuery() {
  if (display_) display_->CloseWindow();
  if (controller_) controller_->Close();
}

void MainWindow::OnActivateRequest() {
  if (!controller_ || !controller_->Live()) return;  // start-up shows the window when it is done
  if (tray_->IsInstalled()) tray_->Remove();
  if (IsIconic(hwnd_) || !IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  SetForegroundWindow(hwnd_);
}

void MainWindow::DestroyMainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

}  // namespace kalvane
