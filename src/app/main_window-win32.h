#pragma once

#include <windows.h>
#include <winsock2.h>

#include <memory>
#include <string>

#include "app/ansi_code_page-win32.h"
#include "app/message_pump-win32.h"
#include "app/settings_file.h"
#include "app/unique_handle-win32.h"
#include "http/http_client.h"
#include "http/winsock_transport-win32.h"
#include "sync/hosts_store.h"
#include "sync/update_cycle.h"
#include "tray/status_icon.h"
#include "tray/tray_icon-win32.h"
#include "tray/tray_status-win32.h"
#include "tray/window_timer-win32.h"

namespace kalvane {

inline constexpr wchar_t kMainWindowClass[] = L"KalvaneMainWindow";
// Posted by a second start of the program: come to the front, out of the tray if need be.
inline constexpr wchar_t kActivateMessageName[] = L"Kalvane.Activate";

// The program's one window: its controls, the update cycles it runs, and its shutdown clean-up.
class MainWindow final : private UpdateCycleHost {
 public:
  static std::unique_ptr<MainWindow> Create(HINSTANCE instance);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Start-up before the window is first shown: loads the account and runs the first cycle.
  // False when the window was closed meanwhile and must not be shown.
  bool FormLoad();

 private:
  explicit MainWindow(HINSTANCE instance);

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  void OnCreate();
  void LoadIcons();
  void OnCommand(int control, int notification);
  void OnTimer(UINT_PTR id);
  void OnClose();
  void OnActivateRequest();
  void OnEndSession(bool ending);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnActivate(WORD state);
  void OnSetFocus();

  void CreateControls();
  void LayOut();
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  std::u16string ControlText(int id) const;
  bool Check1Value() const;

  // Account settings and the Save command.
  void LoadAccountSettings();
  void Command3_Click();
  void Check1_Click();
  void Text2_Change();
  void SetCheck1(bool checked);
  void SetPasswordText(const std::u16string& text);
  void ShowMessage(std::u16string_view text);

  // The tray.
  void Form_Resize(WPARAM size_type);
  void mnuTrayexit_Click();

  // Digest text of a password in the system's ANSI code page; nothing when it has no such form.
  std::optional<std::string> DigestPassword(std::u16string_view password) const;

  // Runs one cycle now and shows its result. While a cycle waits, a timed refresh is skipped and
  // a Save's request is merged into one more cycle run right after it.
  enum class CycleRequest { StartUp, Save, Timer };
  void RunUpdateCycle(CycleRequest request);
  std::optional<UpdateResult> UpdateDomains();
  void ShowUpdateStatus(UpdateResult result);
  void FinishPendingClose();

  // The shutdown clean-up: at most once, whatever asked for it.
  void FormQueryUnload();

  // UpdateCycleHost
  bool HttpGet(std::string_view path) override;
  const std::string& ResponseText() const override { return http_.ResponseText(); }
  bool Check1Checked() const override { return Check1Value(); }
  bool Closing() const override { return closing_; }
  void WriteHostsSection(const DomainList& domains) override;

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  UniqueFont font_;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UINT activate_message_ = 0;
  HWND focus_control_ = nullptr;  // the control to focus when the window is activated again

  // Picture1's and Picture2's icons: the tray's (small) and the window's.
  UniqueIcon picture1_small_;
  UniqueIcon picture2_small_;
  UniqueIcon picture1_large_;

  SystemAnsiCodePage ansi_;
  std::unique_ptr<HostsFileSystem> files_;
  std::unique_ptr<HostsStore> hosts_;
  std::unique_ptr<SettingsFile> settings_;
  bool password_is_digest_ = false;  // PasswordIsDigest
  bool loading_password_ = false;    // LoadingPassword
  bool loaded_ = false;

  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<TrayStatus> status_;
  std::unique_ptr<WindowTimer> timer1_;
  RefreshSchedule schedule_;

  WinsockTransport socket_;
  WindowsEventPump pump_;
  HttpClient http_{socket_, pump_};
  UpdateCycle cycle_{*this};
  bool cycle_requested_ = false;

  bool closing_ = false;
  bool cleaned_up_ = false;
  bool destroy_pending_ = false;
};

}  // namespace kalvane
