#pragma once

// The program's one window: it routes its messages to the account form (account/), the update
// controller (app/update_controller.h) and the tray (tray/), lays out its controls and shows the
// outcomes. wWinMain builds the services it is given.

#include <windows.h>

#include <memory>
#include <string>

#include "account/account_form.h"
#include "account/settings_file.h"
#include "app/update_controller.h"
#include "app/window_layout.h"
#include "base/ansi_code_page.h"
#include "platform/message_pump-win32.h"
#include "platform/unique_handle-win32.h"
#include "platform/window_timer-win32.h"
#include "sync/update_cycle.h"
#include "tray/tray_icon-win32.h"
#include "tray/tray_status-win32.h"

namespace kalvane {

inline constexpr wchar_t kMainWindowClass[] = L"KalvaneMainWindow";
// Posted by a second start of the program: come to the front, out of the tray if need be.
inline constexpr wchar_t kActivateMessageName[] = L"Kalvane.Activate";

// What the window works with; built by wWinMain and outliving the window.
struct MainWindowServices {
  const AnsiCodePage& code_page;
  SettingsFile& settings;
  UpdateCycle& cycle;
  WindowsEventPump& pump;
};

// The program's one window. It routes messages and lays out its controls; the flows it drives
// live in the account form and the update controller.
class MainWindow final : private AccountControls, private UpdateControllerHost {
 public:
  static std::unique_ptr<MainWindow> Create(HINSTANCE instance, const MainWindowServices& services);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Start-up before the window is first shown: loads the account and runs the first cycle.
  // False when the window was closed meanwhile and must not be shown.
  bool FormLoad();

 private:
  MainWindow(HINSTANCE instance, const MainWindowServices& services);

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  void OnCreate();
  void LoadIcons();
  void OnCommand(int control, int notification);
  void OnTimer(UINT_PTR id);
  void OnActivateRequest();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnActivate(WORD state);
  void OnSetFocus();

  void LayOut();
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  std::u16string ControlText(int id) const;

  // The controls' events, named as in the window's design.
  void Command1_Click();
  void Command3_Click();
  void Check1_Click();
  void Text2_Change();
  void Form_Resize(WPARAM size_type);
  void mnuTrayexit_Click();
  void Form_QueryUnload();

  // The domain and password boxes are shown exactly while account updating is ticked.
  void ShowAccountBoxes(bool shown);

  // AccountControls
  bool UpdatingEnabled() const override;
  void SetUpdatingEnabled(bool enabled) override;
  std::u16string Domain() const override { return ControlText(kText1); }
  void SetDomain(std::u16string_view text) override;
  std::u16string Password() const override { return ControlText(kText2); }
  void SetPassword(std::u16string_view text) override;
  void ShowMessage(std::u16string_view text) override;

  // UpdateControllerHost
  void ShowUpdateStatus(const CycleReport& report) override;
  void ShowCleanUp(const HostsStepReport& report) override;
  void DestroyMainWindow() override;

  HINSTANCE instance_;
  MainWindowServices services_;
  HWND hwnd_ = nullptr;
  UniqueFont font_;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UINT activate_message_ = 0;
  HWND focus_control_ = nullptr;  // the control to focus when the window is activated again

  // The icons of a good update and of a failed transfer: the tray's (small) and the window's.
  UniqueIcon updated_small_;
  UniqueIcon failed_small_;
  UniqueIcon updated_large_;

  AccountForm form_;
  UpdateController controller_;

  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<TrayStatus> status_;
  std::unique_ptr<WindowTimer> refresh_timer_;
};

}  // namespace kalvane
