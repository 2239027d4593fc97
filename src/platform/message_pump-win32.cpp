#include "platform/message_pump-win32.h"

#include <algorithm>

namespace kalvane {

void DispatchWithDialogKeys(HWND dialog_window, MSG& message) {
  if (dialog_window != nullptr && IsWindow(dialog_window) &&
      IsDialogMessageW(dialog_window, &message)) {
    return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

EventPump::Outcome WindowsEventPump::PumpUntil(MonotonicClock::time_point deadline) {
  const auto now = Now();
  DWORD timeout_ms = 0;
  if (deadline > now) {
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    timeout_ms = static_cast<DWORD>(std::min<long long>(remaining, INFINITE - 1));
  }
  MsgWaitForMultipleObjectsEx(0, nullptr, timeout_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  return PumpOnce();
}

EventPump::Outcome WindowsEventPump::PumpOnce() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop to see
      return Outcome::kQuit;
    }
    DispatchWithDialogKeys(dialog_window_, message);
  }
  return Outcome::kContinue;
}

}  // namespace kalvane
