// The program's entry point and composition root: builds the services, the window, and runs the
// message loop.

#include <windows.h>
#include <winsock2.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "account/settings_file.h"
#include "app/main_window-win32.h"
#include "base/file_path.h"
#include "http/http_client.h"
#include "http/proxy_router.h"
#include "http/proxy_system-win32.h"
#include "http/sspi_packages-win32.h"
#include "http/winsock_transport-win32.h"
#include "instance/hand_over-win32.h"
#include "instance/instance_control-win32.h"
#include "instance/single_instance-win32.h"
#include "platform/ansi_code_page-win32.h"
#include "platform/dll_search-win32.h"
#include "platform/file_system-win32.h"
#include "platform/known_folders-win32.h"
#include "platform/message_pump-win32.h"
#include "platform/message_window-win32.h"
#include "sync/hosts_paths-win32.h"
#include "sync/section_restore.h"
#include "sync/update_cycle.h"

namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kResolveMessage = WM_APP + 2;
// The status window's history, kept beside the account and as private.
constexpr wchar_t kHistoryFileName[] = L"kalvane-history.dat";
constexpr UINT kProxyMessage = WM_APP + 3;

// A copy that starts while another is still starting or ending waits this long for its window.
constexpr std::chrono::milliseconds kHandOverPatience{2000};

// Two copies would fight over the one hosts file: a start that did not get the lock hands over
// to the running copy (exit code 0) or says why it cannot run (exit code 1).
int StartElsewhere(const kalvane::Result<kalvane::InstanceLock>& lock) {
  const kalvane::HandOver hand_over = kalvane::HandOverToRunningInstance(
      lock ? kalvane::Result(lock->state()) : lock.status(), kalvane::kMainWindowClass,
      kalvane::kActivateMessageName, kHandOverPatience);
  const std::optional<std::wstring_view> message = kalvane::HandOverMessage(hand_over);
  if (!message) return 0;
  MessageBoxW(nullptr, std::wstring(*message).c_str(), L"Kalvane",
              MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  return 1;
}

// `name` beside the program; an empty path (nothing loads or saves) when the folder is unknown.
kalvane::FilePath ProgramFile(const wchar_t* name) {
  const kalvane::Result<kalvane::FilePath> folder = kalvane::ProgramFolder();
  return folder ? *folder / name : kalvane::FilePath();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  // First of all: no DLL loaded on demand from here on comes from the program's folder.
  (void)kalvane::RestrictDllSearchToSystemFolder();  // the fallback is all there is

  // Kalvane.exe /close and /cleanup, for the installer and the uninstaller, end here.
  if (const std::optional<int> code = kalvane::RunInstanceCommand()) return *code;

  const kalvane::Result<kalvane::InstanceLock> lock = kalvane::InstanceLock::ForThisMachine();
  if (!lock || lock->state() != kalvane::LockState::kAcquired) return StartElsewhere(lock);

  kalvane::WinsockSession winsock;
  kalvane::SystemAnsiCodePage code_page;
  // The account file holds what the service accepts as the account: only administrators read it.
  const std::unique_ptr<kalvane::FileSystem> private_files =
      kalvane::MakeWin32FileSystem(kalvane::FilePrivacy::kAdministratorsOnly);
  kalvane::SettingsFile settings(*private_files, ProgramFile(kalvane::kSettingsFileName));
  // Rows no answer may write: the service's own host and this machine's names, among others.
  const kalvane::RefusedHosts refused = kalvane::RefusedHostsOfThisMachine();
  kalvane::HostsStore hosts = kalvane::MakeWindowsHostsStore(refused);
  kalvane::WindowsEventPump pump;
  kalvane::WinsockTransport socket(kSocketMessage, kResolveMessage);
  kalvane::HttpClient http(socket, pump);
  // The way to the service goes through the proxy Windows would use for this user, if any.
  kalvane::WinHttpProxySystem proxy_system(kProxyMessage);
  kalvane::ProxyRouter proxies(proxy_system, pump);
  kalvane::SspiPackages security_packages;
  http.UseProxies(proxies, security_packages);
  // The socket's and the proxy look-up's events reach the client through a window of their own.
  const kalvane::MessageWindow socket_events(
      instance, [&socket, &proxy_system](UINT message, WPARAM wparam, LPARAM lparam) {
        return socket.HandleMessage(message, wparam, lparam) ||
               proxy_system.HandleMessage(message, wparam);
      });
  socket.Attach(socket_events.hwnd(), &http);
  proxy_system.Attach(socket_events.hwnd(), &proxies);
  kalvane::UpdateCycle cycle(http, hosts, code_page);
  kalvane::SectionRestore restore(hosts);

  std::unique_ptr<kalvane::MainWindow> window = kalvane::MainWindow::Create(
      instance, {code_page, settings, cycle, restore, pump, kalvane::WindowsHostsPaths().hosts,
                 refused, *private_files, ProgramFile(kHistoryFileName)});
  if (!window) return 1;
  // Kalvane.exe /close, started by an installer, asks this copy to close through the lock.
  const kalvane::ExitRequestListener exit_request(lock->ExitRequest(), window->hwnd());
  if (window->StartUp()) {
    ShowWindow(window->hwnd(), show);
    UpdateWindow(window->hwnd());
  }
  return kalvane::RunMessageLoop(window->hwnd(), pump.wait());
}
