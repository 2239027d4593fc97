#pragma once

#include <windows.h>

#include <functional>

namespace kalvane {

// A message-only window whose messages go to one handler: for a service that takes its events
// as window messages (Winsock's asynchronous calls) without the main window passing them along.
// The thread's message loop and event pump deliver them with everything else.
class MessageWindow {
 public:
  // True when the handler took the message; others go to DefWindowProc.
  using Handler = std::function<bool(UINT message, WPARAM wparam, LPARAM lparam)>;

  MessageWindow(HINSTANCE instance, Handler handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Null when the window could not be made.
  HWND hwnd() const { return hwnd_; }

 private:
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  Handler handler_;
  HWND hwnd_ = nullptr;
};

}  // namespace kalvane
