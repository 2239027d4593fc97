#include <windows.h>
#include <winsock2.h>

#include "app/main_window-win32.h"
#include "app/message_pump-win32.h"
#include "http/winsock_transport-win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
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
