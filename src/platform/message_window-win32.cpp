#include "platform/message_window-win32.h"

#include <utility>

namespace kalvane {
namespace {

constexpr wchar_t kMessageWindowClass[] = L"KalvaneMessageWindow";

}  // namespace

MessageWindow::MessageWindow(HINSTANCE instance, Handler handler) : handler_(std::move(handler)) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &MessageWindow::WindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = kMessageWindowClass;
  RegisterClassExW(&window_class);  // fails harmlessly when a second one registers it again
  hwnd_ = CreateWindowExW(0, kMessageWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          instance, this);
}

MessageWindow::~MessageWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

LRESULT CALLBACK MessageWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  if (self != nullptr && self->handler_ && self->handler_(message, wparam, lparam)) return 0;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace kalvane
