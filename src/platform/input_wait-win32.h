#pragma once

#include <windows.h>

#include <functional>

namespace kalvane {

// What the window thread waits for besides its messages: one kernel handle (the watch on the hosts
// folder), served on the thread itself, so that neither a poll nor a thread of its own is needed.
// The main loop and the event pump's nested waits both wait through it.
class InputWait {
 public:
  // `handle` is asked before every wait (nullptr: nothing to wait for besides the messages);
  // `on_signalled` runs on this thread when that handle is signalled.
  void Serve(std::function<HANDLE()> handle, std::function<void()> on_signalled);

  // Sleeps until input is queued for the thread, the handle is signalled (served before this
  // returns), or `timeout_ms` pass; never spins.
  void Wait(DWORD timeout_ms) const;

 private:
  std::function<HANDLE()> handle_;
  std::function<void()> on_signalled_;
};

// The program's main loop: waits through `wait` and hands every message on with the dialog keys
// of `dialog_window` until WM_QUIT, whose exit code it returns.
int RunMessageLoop(HWND dialog_window, const InputWait& wait);

}  // namespace kalvane
