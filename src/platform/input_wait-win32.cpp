#include "platform/input_wait-win32.h"

#include <utility>

#include "platform/message_pump-win32.h"

namespace kalvane {

void InputWait::Serve(std::function<HANDLE()> handle, std::function<void()> on_signalled) {
  handle_ = std::move(handle);
  on_signalled_ = std::move(on_signalled);
}

void InputWait::Wait(DWORD timeout_ms) const {
  HANDLE handle = handle_ ? handle_() : nullptr;
  const DWORD count = handle != nullptr ? 1 : 0;
  // MWMO_INPUTAVAILABLE: input that came before the wait but was not taken yet ends it at once.
  const DWORD woke = MsgWaitForMultipleObjectsEx(count, count != 0 ? &handle : nullptr, timeout_ms,
                                                 QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (count != 0 && woke == WAIT_OBJECT_0 && on_signalled_) on_signalled_();
}

int RunMessageLoop(HWND dialog_window, const InputWait& wait) {
  while (true) {
    wait.Wait(INFINITE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      DispatchWithDialogKeys(dialog_window, message);
    }
  }
}

}  // namespace kalvane
