#include "instance/single_instance-win32.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "file_links-win32.h"
#include "instance/hand_over-win32.h"
#include "instance/instance_control-win32.h"

namespace kalvane {
namespace {

using namespace std::chrono_literals;

// A lock name of this test run's own, so that a running Kalvane is not disturbed.
std::wstring LockName(const wchar_t* what) {
  return L"Global\\Kalvane.Test." + std::to_wstring(GetCurrentProcessId()) + L"." + what;
}

// A mutex made the way another program could make it first, with the given security (SDDL), or
// the default security when `sddl` is empty.
UniqueKernelObject Squat(const std::wstring& name, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!sddl.empty()) {
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
  }
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  UniqueKernelObject mutex(CreateMutexW(descriptor ? &attributes : nullptr, FALSE, name.c_str()));
  if (descriptor != nullptr) LocalFree(descriptor);
  EXPECT_TRUE(mutex);
  return mutex;
}

// The user's own SID as SDDL: what an unelevated process can make the owner of its objects.
std::wstring UserSid() {
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  const UniqueKernelObject owned(token);
  alignas(TOKEN_USER) unsigned char buffer[256];
  DWORD size = 0;
  EXPECT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size));
  wchar_t* text = nullptr;
  EXPECT_TRUE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text));
  std::wstring sid = text != nullptr ? text : L"";
  LocalFree(text);
  return sid;
}

// The state a start sees; nothing when it could not make or open the lock at all.
std::optional<LockState> StateOf(const Result<InstanceLock>& lock) {
  return lock ? std::optional(lock->state()) : std::nullopt;
}

TEST(InstanceLock, OneHolderAtATimeAndTheNextStartKnowsItIsTheProgram) {
  const std::wstring name = LockName(L"own");
  {
    const auto first = InstanceLock::Named(name.c_str());
    EXPECT_EQ(StateOf(first), LockState::kAcquired);
    const auto second = InstanceLock::Named(name.c_str());
    EXPECT_EQ(StateOf(second), LockState::kHeldByKalvane);
  }
  EXPECT_EQ(StateOf(InstanceLock::Named(name.c_str())), LockState::kAcquired)
      << "the lock outlived its holder";
}

// Whatever another program made first under the name, a start sees it is not the program's.
TEST(InstanceLock, ANameTakenFirstByAnotherProgramIsToldApart) {
  struct Case {
    const wchar_t* what;
    std::wstring sddl;
  };
  const Case cases[] = {
      {L"default", L""},                                    // default security
      {L"user", L"O:" + UserSid() + L"D:(A;;GA;;;WD)"},     // owned by the user, open to all
      {L"closed", L"D:P"},                                  // open to nobody
      {L"admins", L"O:" + UserSid() + L"D:P(A;;GA;;;BA)"},  // lets administrators in
  };
  for (const Case& squat : cases) {
    SCOPED_TRACE(squat.what);
    const std::wstring name = LockName(squat.what);
    const UniqueKernelObject held = Squat(name, squat.sddl);
    // Seen as another program's, or not openable at all: never the program's, never ours.
    const std::optional<LockState> state = StateOf(InstanceLock::Named(name.c_str()));
    EXPECT_TRUE(!state || *state == LockState::kHeldByOther);
  }
  // Another kind of object under the name.
  const std::wstring name = LockName(L"event");
  const UniqueKernelObject event(CreateEventW(nullptr, FALSE, FALSE, name.c_str()));
  ASSERT_TRUE(event);
  const std::optional<LockState> state = StateOf(InstanceLock::Named(name.c_str()));
  EXPECT_TRUE(!state || *state == LockState::kHeldByOther);
}

// Pumps this thread's messages until a WM_CLOSE reaches `window` or `timeout` passes.
bool CloseArrives(HWND window, std::chrono::milliseconds timeout) {
  for (const auto deadline = std::chrono::steady_clock::now() + timeout;
       std::chrono::steady_clock::now() < deadline; Sleep(20)) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.hwnd == window && message.message == WM_CLOSE) return true;
      DispatchMessageW(&message);
    }
  }
  return false;
}

// What Kalvane.exe /close finds of a running copy: the process id it recorded, and its exit
// request, which closes its window the way the close box does, once.
TEST(InstanceLock, TheHolderCanBeFoundAndAskedToCloseItsWindow) {
  const std::wstring name = LockName(L"holder");
  const auto holder = InstanceLock::Named(name.c_str());
  ASSERT_EQ(StateOf(holder), LockState::kAcquired);
  HWND window = CreateWindowExW(0, L"STATIC", L"holder", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  {
    const ExitRequestListener listener(holder->ExitRequest(), window);
    const auto later = InstanceLock::Named(name.c_str());
    ASSERT_EQ(StateOf(later), LockState::kHeldByKalvane);
    EXPECT_EQ(later->HolderProcessId().value(), GetCurrentProcessId());
    EXPECT_FALSE(CloseArrives(window, 300ms)) << "closed before any request";
    EXPECT_TRUE(later->RequestHolderExit().ok());
    EXPECT_TRUE(CloseArrives(window, 5s));
    EXPECT_FALSE(CloseArrives(window, 300ms)) << "asked twice";
  }
  DestroyWindow(window);
}

// A copy of the program in a child process of this test: it takes the lock named in
// KALVANE_TEST_LOCK as soon as it is free, and when asked to end, lets the lock go but takes 3 s
// more to end, as a copy whose clean-up is slow. Run only by the test below.
TEST(CloseLockHolder, DISABLED_CopyThatTakesThreeSecondsToEnd) {
  wchar_t name[256] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"KALVANE_TEST_LOCK", name, 256), 0u);
  const UniqueKernelObject looking(
      CreateEventW(nullptr, TRUE, FALSE, (name + std::wstring(L".Looking")).c_str()));
  SetEvent(looking.get());  // from now on it takes the lock as soon as it is free
  {
    std::optional<Result<InstanceLock>> lock;
    for (const auto deadline = std::chrono::steady_clock::now() + 60s;
         StateOf(*(lock = InstanceLock::Named(name))) != LockState::kAcquired; Sleep(10)) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    }
    ASSERT_EQ(WaitForSingleObject(lock->value().ExitRequest(), 60000), WAIT_OBJECT_0);
  }
  Sleep(3000);
}

UniqueKernelObject StartCopy() {
  wchar_t self[MAX_PATH];
  EXPECT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(self) +
                         L"\" --gtest_also_run_disabled_tests "
                         L"--gtest_filter=CloseLockHolder.DISABLED_CopyThatTakesThreeSecondsToEnd";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &startup, &process));
  CloseHandle(process.hThread);
  return UniqueKernelObject(process.hProcess);
}

// /close against a holder that takes 3 s to end, and a second copy that takes the lock while the
// first is still ending: each is asked in its turn, and the close succeeds well within its time.
TEST(CloseLockHolder, AsksEachHolderInItsTurnAndWaitsForOneThatIsSlowToEnd) {
  const std::wstring name = LockName(L"close");
  ASSERT_TRUE(SetEnvironmentVariableW(L"KALVANE_TEST_LOCK", name.c_str()));
  const UniqueKernelObject first = StartCopy();
  ASSERT_TRUE(first);
  for (const auto deadline = std::chrono::steady_clock::now() + 60s;
       StateOf(InstanceLock::Named(name.c_str())) != LockState::kHeldByKalvane; Sleep(20)) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the first copy never took the lock";
  }
  const UniqueKernelObject looking(
      CreateEventW(nullptr, TRUE, FALSE, (name + L".Looking").c_str()));
  ResetEvent(looking.get());  // set by the first copy
  const UniqueKernelObject second = StartCopy();
  ASSERT_TRUE(second);
  ASSERT_EQ(WaitForSingleObject(looking.get(), 60000), WAIT_OBJECT_0) << "no second copy";

  EXPECT_TRUE(CloseLockHolder([&] { return InstanceLock::Named(name.c_str()); },
                              std::chrono::steady_clock::now() + kClosePatience)
                  .ok());
  EXPECT_EQ(WaitForSingleObject(first.get(), 0), WAIT_OBJECT_0) << "not waited for";
  EXPECT_EQ(WaitForSingleObject(second.get(), 30000), WAIT_OBJECT_0) << "the second never asked";
  DWORD code = 1;
  EXPECT_TRUE(GetExitCodeProcess(first.get(), &code) && code == 0);
  EXPECT_TRUE(GetExitCodeProcess(second.get(), &code) && code == 0);
}

// True when the DACL of `path` grants Everyone, Users or Authenticated Users anything. Under
// Wine the DACL mirrors the Unix mode: "others" bits show as an entry for Everyone.
bool OpenToOthers(const FilePath& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  wchar_t* text = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS ||
      !ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    ADD_FAILURE() << "no security descriptor";
    return true;
  }
  const UniqueLocal owned(descriptor);
  const UniqueLocal owned_text(text);
  const std::wstring dacl = text;
  return dacl.find(L"NO_ACCESS_CONTROL") != dacl.npos || dacl.find(L";;;WD)") != dacl.npos ||
         dacl.find(L";;;BU)") != dacl.npos || dacl.find(L";;;AU)") != dacl.npos;
}

// The lock file where the system has no private namespaces (Wine): private from its creation,
// held without sharing for the holder's life, gone with it; a leftover held by nobody, whatever
// its security, is made anew; what is no file at all is not the program's.
TEST(InstanceLock, TheLockFileIsPrivateHeldAndGoneWithItsHolder) {
  testing::ScratchFolder scratch(L"kalvane-lock");
  const auto path = scratch.root() / L"hosts.kalvane-lock";
  {
    const auto holder = InstanceLock::InFile(path);
    ASSERT_EQ(StateOf(holder), LockState::kAcquired);
    EXPECT_FALSE(OpenToOthers(path));
    const auto later = InstanceLock::InFile(path);
    ASSERT_EQ(StateOf(later), LockState::kHeldByKalvane);
    EXPECT_EQ(later->HolderProcessId().value(), GetCurrentProcessId());
    EXPECT_FALSE(later->RequestHolderExit().ok()) << "a lock file has no exit request";
    EXPECT_EQ(holder->ExitRequest(), nullptr);
  }
  EXPECT_FALSE(std::filesystem::exists(path.native())) << "the lock file outlived its holder";

  testing::PutFileBytes(path, "4242");  // left behind, with the folder's (default) security
  ASSERT_TRUE(OpenToOthers(path));
  {
    const auto holder = InstanceLock::InFile(path);
    EXPECT_EQ(StateOf(holder), LockState::kAcquired);
    EXPECT_FALSE(OpenToOthers(path));
  }

  std::filesystem::create_directory(path.native());
  EXPECT_EQ(StateOf(InstanceLock::InFile(path)), LockState::kHeldByOther);
}

TEST(HandOver, OnlyTheProgramsOwnWindowInThisSessionIsActivated) {
  EXPECT_EQ(HandOverToRunningInstance(LockState::kHeldByOther, L"KalvaneTestNoSuchClass",
                                      L"Kalvane.Test.Activate", 0ms),
            HandOver::kHeldByOther);

  // The program holds the lock, but no window of its class is here: it runs in another session.
  // A window of the class in this very process does not count either.
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"KalvaneTestWindow";
  RegisterClassExW(&window_class);
  HWND own = CreateWindowExW(0, L"KalvaneTestWindow", L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                             window_class.hInstance, nullptr);
  ASSERT_NE(own, nullptr);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(HandOverToRunningInstance(LockState::kHeldByKalvane, L"KalvaneTestWindow",
                                      L"Kalvane.Test.Activate", 300ms),
            HandOver::kOtherSession);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 300ms) << "gave up without waiting";
  DestroyWindow(own);

  EXPECT_EQ(HandOverToRunningInstance(Status::Failure(StatusKind::kFailed, ERROR_ACCESS_DENIED),
                                      L"KalvaneTestWindow", L"Kalvane.Test.Activate", 0ms),
            HandOver::kHeldByOther)
      << "a start that cannot make the lock is no copy of a running one";

  EXPECT_TRUE(HandOverMessage(HandOver::kOtherSession));
  EXPECT_TRUE(HandOverMessage(HandOver::kHeldByOther));
  EXPECT_FALSE(HandOverMessage(HandOver::kActivated));
}

}  // namespace
}  // namespace kalvane
