#pragma once

#include <windows.h>
#include <winsock2.h>

#include <memory>
#include <string>

#include "app/message_pump-win32.h"
#include "app/unique_handle-win32.h"
#include "http/http_client.h"
#include "http/winsock_transport-win32.h"
#include "sync/update_cycle.h"

namespace kalvane {

inline constexpr wchar_t kMainWindowClass[] = L"KalvaneMainWindow";

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
  void OnCommand(int control, int notification);
  void OnClose();
  void OnEndSession(bool ending);
  void OnDpiChanged(UINT dpi, const RECT& suggested);

  void CreateControls();
  void LayOut();
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  std::u16string ControlText(int id) const;
  bool Check1Value() const;

  // Runs one cycle now and shows its result; a request made while a cycle waits is merged into
  // one more cycle run right after it.
  void RunUpdateCycle();
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
