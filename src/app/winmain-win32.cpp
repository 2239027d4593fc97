#include <windows.h>
#include <winsock2.h>

#include "app/main_window-win32.h"
#include "app/message_pump-win32.h"
#include "app/unique_handle-win32.h"
#include "http/winsock_transport-win32.h"

namespace {

constexpr wchar_t kInstanceMutexName[] = L"Local\\Kalvane.SingleInstance";

// Two instances would fight over one hosts section: a second start hands over to the first.
void ActivateRunningInstance() {
  HWND running = FindWindowW(kalvane::kMainWindowClass, nullptr);
  if (running == nullptr) return;
  DWORD process_id = 0;
  GetWindowThreadProcessId(running, &process_id);
  AllowSetForegroundWindow(process_id);
  PostMessageW(running, RegisterWindowMessageW(kalvane::kActivateMessageName), 0, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  kalvane::UniqueKernelObject instance_mutex(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
  if (instance_mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
    ActivateRunningInstance();
    return 0;
  }

  kalvane::WinsockSession winsock;
  std::unique_ptr<kalvane::MainWindow> window = kalvane::MainWindow::Create(instance);
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
