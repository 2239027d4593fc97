#include "instance/hand_over-win32.h"

#include <thread>

#include "platform/process_info-win32.h"
#include "platform/top_level_windows-win32.h"

namespace kalvane {
namespace {

constexpr std::chrono::milliseconds kLookAgainPause{100};

// The main window of an elevated copy of the program on this session's desktop. A window of the
// class made by an unelevated process does not count.
HWND FindRunningWindow(const wchar_t* window_class) {
  for (HWND window : WindowsOfClass(window_class)) {
    const DWORD process_id = WindowProcessId(window);
    if (process_id != GetCurrentProcessId() && CheckElevated(process_id).ok()) return window;
  }
  return nullptr;
}

}  // namespace

HandOver HandOverToRunningInstance(const Result<LockState>& state, const wchar_t* window_class,
                                   const wchar_t* activate_message,
                                   std::chrono::milliseconds patience) {
  if (!state.ok() || *state != LockState::kHeldByKalvane) return HandOver::kHeldByOther;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (HWND running = FindRunningWindow(window_class)) {
      AllowSetForegroundWindow(WindowProcessId(running));
      PostMessageW(running, RegisterWindowMessageW(activate_message), 0, 0);
      return HandOver::kActivated;
    }
    if (std::chrono::steady_clock::now() >= deadline) return HandOver::kOtherSession;
    std::this_thread::sleep_for(kLookAgainPause);
  }
}

std::optional<std::wstring_view> HandOverMessage(HandOver hand_over) {
  switch (hand_over) {
    case HandOver::kActivated:
      return std::nullopt;
    case HandOver::kOtherSession:
      return L"Kalvane 已在本机的另一个用户会话中运行。同一台计算机上只能运行一个 Kalvane。";
    case HandOver::kHeldByOther:
      return L"Kalvane 无法启动：它的单实例锁已被其他程序占用，或无法建立。";
  }
  return std::nullopt;
}

}  // namespace kalvane
