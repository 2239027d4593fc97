#pragma once

// The program's one window: it routes its messages to the account form (account/), the update
// controller (app/update_controller.h) and the tray (tray/) and lays out its controls. The status
// display (status/) shows the outcomes, told by the controller and the section restore directly.
// wWinMain builds the services it is given.

#include <windows.h>

#include <memory>
#include <string>

#include "account/account_form.h"
#include "account/settings_file.h"
#include "app/account_controls-win32.h"
#include "app/update_controller.h"
#include "app/window_layout.h"
#include "base/ansi_code_page.h"
#include "base/file_path.h"
#include "instance/window_names.h"
#include "platform/message_pump-win32.h"
#include "platform/network_change-win32.h"
#include "platform/unique_handle-win32.h"
#include "platform/window_timer-win32.h"
#include "status/status_display-win32.h"
#include "sync/hosts_watch-win32.h"
#include "sync/section_restore.h"
#include "sync/update_cycle.h"
#include "tray/tray_icon-win32.h"

namespace kalvane {

// What the window works with; built by wWinMain and outliving the window.
struct MainWindowServices {
  const AnsiCodePage& code_page;
  SettingsFile& settings;
  UpdateCycle& cycle;
  SectionRestore& restore;  // puts back a section another program changed
  WindowsEventPump& pump;
  FilePath hosts;              // watched for other programs' changes; empty when unknown
  RefusedHosts refused_hosts;  // rows never written (the service's host among them)
  FileSystem& private_files;   // for the history, kept as private as the account
  FilePath history;            // the status history beside the account; empty when unknown
};

// The program's one window. It routes messages and lays out its controls; the flows it drives
// live in the account form and the update controller.
class MainWindow final : private UpdateControllerHost {
 public:
  static std::unique_ptr<MainWindow> Create(HINSTANCE instance, const MainWindowServices& services);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Start-up before the window is first shown: loads the account and runs the first cycle.
  // False when the window was closed meanwhile and must not be shown.
  bool StartUp();

 private:
  MainWindow(HINSTANCE instance, const MainWindowServices& services);

  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  void OnCreate();
  void LoadIcons();
  void OnCommand(int control, int notification);
  void OnRefreshTick();
  void OnPowerBroadcast(WPARAM event);
  void WatchForChanges();
  void OnActivateRequest();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnActivate(WORD state);
  void OnSetFocus();
  void LayOut();

  // What the user does with the controls, the tray and the window.
  void OnWebPageClicked();
  void OnSaveClicked();
  void OnUpdatingToggled() { controls_.ShowAccountBoxes(controls_.UpdatingEnabled()); }
  void OnPasswordEdited() { form_.OnPasswordChanged(); }
  void OnResized(WPARAM size_type);
  void OnTrayCommand(TrayCommand picked);
  void OnTrayExit();
  void OnCloseQuery();

  // UpdateControllerHost
  void DestroyMainWindow() override;

  HINSTANCE instance_;
  MainWindowServices services_;
  HWND hwnd_ = nullptr;
  UniqueFont font_;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UINT activate_message_ = 0;
  HWND focus_control_ = nullptr;  // the control to focus when the window is activated again

  // The icons of a good update, a failed transfer and an unconfirmed account: the tray's (small)
  // and the window's.
  UniqueIcon updated_small_;
  UniqueIcon failed_small_;
  UniqueIcon unconfirmed_small_;
  UniqueIcon updated_large_;

  WindowAccountControls controls_;
  AccountForm form_;

  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<StatusDisplay> display_;
  // Made once the status display it reports to is there (WM_CREATE).
  std::unique_ptr<UpdateController> controller_;
  std::unique_ptr<WindowTimer> refresh_timer_;
  // What starts a restore, and a cycle besides the timer: another program's change to the hosts
  // file, and a network that comes up (waking arrives as WM_POWERBROADCAST).
  std::unique_ptr<HostsWatch> hosts_watch_;
  std::unique_ptr<NetworkChangeNotice> network_notice_;
};

}  // namespace kalvane
