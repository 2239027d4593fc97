#include "platform/message_pump-win32.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace kalvane {

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";  // dialog boxes, message boxes among them

bool IsDialogBox(HWND window) {
  wchar_t name[std::size(kDialogClass) + 1] = {};
  const int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return length == static_cast<int>(std::size(kDialogClass)) - 1 &&
         std::wstring_view(name, static_cast<std::size_t>(length)) == kDialogClass;
}

// The top-level window whose dialog keys apply to `message`: the one the message's window belongs
// to, or the thread's active window for a message to no window. A cycle may pump inside the
// modal loop of a message box or of the tray menu; Enter and Esc then belong to the box. Only
// the main window and dialog boxes take dialog keys; a menu, say, keeps its own.
HWND DialogKeyTarget(HWND main_window, const MSG& message) {
  HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : GetActiveWindow();
  if (root == nullptr) return nullptr;
  if (root == main_window) return IsWindow(main_window) ? main_window : nullptr;
  if (GetWindowThreadProcessId(root, nullptr) != GetCurrentThreadId()) return nullptr;
  return IsDialogBox(root) ? root : nullptr;
}

}  // namespace

void DispatchWithDialogKeys(HWND dialog_window, MSG& message) {
  HWND target = DialogKeyTarget(dialog_window, message);
  if (target != nullptr && IsDialogMessageW(target, &message)) return;
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
  wait_.Wait(timeout_ms);
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
