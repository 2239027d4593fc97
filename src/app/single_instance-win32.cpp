#include "app/single_instance-win32.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <thread>

namespace kalvane {
namespace {

// Owner Administrators; protected DACL: full access for Administrators and SYSTEM, none else.
constexpr wchar_t kLockSecurity[] = L"O:BAD:P(A;;GA;;;BA)(A;;GA;;;SY)";

struct LocalTraits {
  using Handle = HLOCAL;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { LocalFree(h); }
};
using UniqueLocal = UniqueHandle<LocalTraits>;

// Only an elevated administrator or the system can have made an object owned by one of these.
bool OwnedByAdministrators(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueLocal owned(descriptor);
  return owner != nullptr && IsValidSid(owner) &&
         (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
          IsWellKnownSid(owner, WinLocalSystemSid));
}

bool IsElevatedProcess(DWORD process_id) {
  const UniqueKernelObject process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  HANDLE token = nullptr;
  if (!process || !OpenProcessToken(process.get(), TOKEN_QUERY, &token)) return false;
  const UniqueKernelObject owned_token(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
         elevation.TokenIsElevated != 0;
}

// The main window of an elevated copy of the program on this session's desktop. A window of the
// class made by an unelevated process does not count.
HWND FindRunningWindow(const wchar_t* window_class) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, window_class, nullptr)) != nullptr) {
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    if (process_id != GetCurrentProcessId() && IsElevatedProcess(process_id)) return window;
  }
  return nullptr;
}

}  // namespace

InstanceLock::InstanceLock(const wchar_t* name) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockSecurity, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return;
  }
  const UniqueLocal owned(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  mutex_.reset(CreateMutexW(&attributes, FALSE, name));
  const DWORD error = GetLastError();
  // Not made and not openable (a DACL that shuts us out), or an owner we cannot set (not
  // elevated): either way the lock is not ours to have.
  if (!mutex_) return;
  if (error != ERROR_ALREADY_EXISTS) {
    state_ = LockState::kAcquired;
    return;
  }
  state_ =
      OwnedByAdministrators(mutex_.get()) ? LockState::kHeldByKalvane : LockState::kHeldByOther;
  mutex_.reset();
}

HandOver HandOverToRunningInstance(LockState state, const wchar_t* window_class,
                                   const wchar_t* activate_message,
                                   std::chrono::milliseconds patience) {
  if (state != LockState::kHeldByKalvane) return HandOver::kHeldByOther;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (HWND running = FindRunningWindow(window_class)) {
      DWORD process_id = 0;
      GetWindowThreadProcessId(running, &process_id);
      AllowSetForegroundWindow(process_id);
      PostMessageW(running, RegisterWindowMessageW(activate_message), 0, 0);
      return HandOver::kActivated;
    }
    if (std::chrono::steady_clock::now() >= deadline) return HandOver::kOtherSession;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

const wchar_t* HandOverMessage(HandOver hand_over) {
  switch (hand_over) {
    case HandOver::kActivated:
      return nullptr;
    case HandOver::kOtherSession:
      return L"Kalvane 已在本机的另一个用户会话中运行。同一台计算机上只能运行一个 Kalvane。";
    case HandOver::kHeldByOther:
      return L"Kalvane 无法启动：它的单实例锁已被其他程序占用，或无法建立。";
  }
  return nullptr;
}

}  // namespace kalvane
