// The program's entry point and composition root: builds the services, the window, and runs the
// message loop.

#include <windows.h>
#include <winsock2.h>

#include <filesystem>
#include <optional>

#include "account/settings_file.h"
#include "app/main_window-win32.h"
#include "http/http_client.h"
#include "http/winsock_transport-win32.h"
#include "platform/ansi_code_page-win32.h"
#include "platform/file_system-win32.h"
#include "platform/message_pump-win32.h"
#include "platform/unique_handle-win32.h"
#include "sync/hosts_paths-win32.h"

namespace {

constexpr wchar_t kInstanceMutexName[] = L"Local\\Kalvane.SingleInstance";
constexpr char kServerHost[] = KALVANE_SERVER_HOST;
constexpr unsigned short kServerPort = 80;
constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kResolveMessage = WM_APP + 2;
constexpr wchar_t kSettingsFileName[] = L"abc.txt";

// Two instances would fight over one hosts section: a second start hands over to the first.
void ActivateRunningInstance() {
  HWND running = FindWindowW(kalvane::kMainWindowClass, nullptr);
  if (running == nullptr) return;
  DWORD process_id = 0;
  GetWindowThreadProcessId(running, &process_id);
  AllowSetForegroundWindow(process_id);
  PostMessageW(running, RegisterWindowMessageW(kalvane::kActivateMessageName), 0, 0);
}

// "abc.txt" beside the program; an empty path (nothing loads or saves) when the folder is unknown.
std::filesystem::path SettingsPath() {
  const std::optional<std::filesystem::path> folder = kalvane::ProgramFolder();
  return folder ? *folder / kSettingsFileName : std::filesystem::path();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  kalvane::UniqueKernelObject instance_mutex(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
  if (instance_mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
    ActivateRunningInstance();
    return 0;
  }

  kalvane::WinsockSession winsock;
  kalvane::SystemAnsiCodePage code_page;
  const std::unique_ptr<kalvane::FileSystem> files = kalvane::MakeWin32FileSystem();
  kalvane::SettingsFile settings(*files, SettingsPath());
  kalvane::HostsStore hosts = kalvane::MakeWindowsHostsStore(kServerHost);
  kalvane::WinsockTransport socket(kSocketMessage, kResolveMessage, kServerPort);
  kalvane::WindowsEventPump pump;
  kalvane::HttpClient http(socket, pump, kServerHost);

  std::unique_ptr<kalvane::MainWindow> window =
      kalvane::MainWindow::Create(instance, {code_page, settings, hosts, socket, pump, http});
  if (!window) return 1;
  if (window->FormLoad()) {
    ShowWindow(window->hwnd(), show);
    UpdateWindow(window->hwnd());
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    kalvane::DispatchWithDialogKeys(window->hwnd(), message);
  }
  return static_cast<int>(message.wParam);
}
