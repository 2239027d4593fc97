#include "platform/message_window-win32.h"

#include <utility>

#include "platform/window_procedure-win32.h"

namespace kalvane {
namespace {

constexpr wchar_t kMessageWindowClass[] = L"KalvaneMessageWindow";

}  // namespace

MessageWindow::MessageWindow(HINSTANCE instance, Handler handler) : handler_(std::move(handler)) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &MemberWindowProc<MessageWindow, &MessageWindow::HandleMessage>;
  window_class.hInstance = instance;
  window_class.lpszClassName = kMessageWindowClass;
  RegisterClassExW(&window_class);  // fails harmlessly when a second one registers it again
  hwnd_ = CreateWindowExW(0, kMessageWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          instance, this);
}

MessageWindow::~MessageWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

LRESULT MessageWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (handler_ && handler_(message, wparam, lparam)) return 0;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace kalvane
