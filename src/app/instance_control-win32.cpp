#include "app/instance_control-win32.h"

#include <shellapi.h>

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

#include "app/instance_command.h"
#include "app/main_window-win32.h"
#include "app/single_instance-win32.h"
#include "platform/known_folders-win32.h"
#include "platform/unique_handle-win32.h"
#include "platform/wide_text-win32.h"
#include "sync/hosts_paths-win32.h"

namespace kalvane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t kProgramFileName[] = L"Kalvane.exe";
constexpr std::chrono::milliseconds kPollPause{100};

DWORD Remaining(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

std::vector<std::u16string> CommandLineArguments() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  const UniqueLocal owned(argv);
  std::vector<std::u16string> arguments;
  for (int i = 1; argv != nullptr && i < count; ++i) arguments.push_back(FromWide(argv[i]));
  return arguments;
}

// A WM_CLOSE to each window of the program's class that `process_id` owns; false when it owns
// none (yet).
bool PostCloseToWindowsOf(DWORD process_id) {
  bool posted = false;
  for (HWND window : WindowsOfClass(kMainWindowClass)) {
    if (WindowProcessId(window) == process_id)
      posted = PostMessageW(window, WM_CLOSE, 0, 0) || posted;
  }
  return posted;
}

// The copy that holds the machine's lock; true once the lock is free. Asked once, then waited
// for; a copy that is just starting has recorded no process id yet, or has no window yet, and
// is asked when it has.
bool CloseLockHolder(Clock::time_point deadline) {
  bool asked = false;
  for (;;) {
    UniqueKernelObject holder;
    {
      const InstanceLock probe = InstanceLock::ForThisMachine();
      if (probe.state() == LockState::kAcquired) return true;
      if (probe.state() == LockState::kHeldByOther) return false;
      if (const DWORD process_id = probe.HolderProcessId()) {
        holder.reset(OpenProcess(SYNCHRONIZE, FALSE, process_id));
        asked = asked || probe.RequestHolderExit() || PostCloseToWindowsOf(process_id);
      }
    }
    if (Clock::now() >= deadline) return false;
    if (holder && asked) {
      WaitForSingleObject(holder.get(), Remaining(deadline));
    } else {
      std::this_thread::sleep_for(kPollPause);
    }
  }
}

std::optional<std::wstring> ProcessImagePath(HANDLE process) {
  constexpr DWORD kLongestPath = 32768;
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD size = static_cast<DWORD>(path.size());
    if (QueryFullProcessImageNameW(process, 0, path.data(), &size)) {
      path.resize(size);
      return path;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= kLongestPath) {
      return std::nullopt;
    }
    path.resize(path.size() * 2);
  }
}

std::optional<BY_HANDLE_FILE_INFORMATION> FileIdentity(const std::filesystem::path& path) {
  const UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return info;
}

// True when `process` runs the file `image`: the same file, however the two paths spell it.
bool ProcessRunsImage(HANDLE process, const std::filesystem::path& image) {
  const std::optional<std::wstring> running = ProcessImagePath(process);
  if (!running) return false;
  const auto a = FileIdentity(*running);
  const auto b = FileIdentity(image);
  return a && b && a->dwVolumeSerialNumber == b->dwVolumeSerialNumber &&
         a->nFileIndexHigh == b->nFileIndexHigh && a->nFileIndexLow == b->nFileIndexLow;
}

// Copies that know no exit request: recognised by the image their window's process runs, and
// only then sent a WM_CLOSE.
bool CloseCopiesRunning(const std::filesystem::path& image, Clock::time_point deadline) {
  std::vector<UniqueKernelObject> asked;
  for (HWND window : WindowsOfClass(kMainWindowClass)) {
    const DWORD process_id = WindowProcessId(window);
    if (process_id == GetCurrentProcessId()) continue;
    UniqueKernelObject process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
    if (!process || !ProcessRunsImage(process.get(), image)) continue;  // not the program
    PostMessageW(window, WM_CLOSE, 0, 0);
    asked.push_back(std::move(process));
  }
  return std::all_of(asked.begin(), asked.end(), [&](const UniqueKernelObject& process) {
    return WaitForSingleObject(process.get(), Remaining(deadline)) == WAIT_OBJECT_0;
  });
}

VOID CALLBACK OnExitRequest(PVOID window, BOOLEAN /*timed_out*/) {
  PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
}

}  // namespace

std::optional<int> RunInstanceCommand(std::string service_host) {
  const std::vector<std::u16string> arguments = CommandLineArguments();
  const std::optional<InstanceCommand> command = ParseInstanceCommand(arguments);
  if (!command) return std::nullopt;
  switch (command->kind) {
    case InstanceCommand::Kind::kCleanup: {
      // The same step as the clean-up when the window closes.
      HostsStore hosts = MakeWindowsHostsStore(std::move(service_host));
      return CleanupExitCode(hosts.ClearHostsSection().outcome);
    }
    case InstanceCommand::Kind::kClose: {
      const std::optional<std::filesystem::path> folder =
          command->folder.empty() ? ProgramFolder()
                                  : std::filesystem::path(ToWide(command->folder));
      if (!folder) return kCommandFailed;
      return CloseRunningCopies(*folder, kClosePatience) ? kCommandDone : kCommandFailed;
    }
    case InstanceCommand::Kind::kUsage:
      break;
  }
  return kCommandUsage;
}

bool CloseRunningCopies(const std::filesystem::path& folder, std::chrono::milliseconds patience) {
  const auto deadline = Clock::now() + patience;
  const bool holder_gone = CloseLockHolder(deadline);
  const bool older_gone = CloseCopiesRunning(folder / kProgramFileName, deadline);
  return holder_gone && older_gone;
}

ExitRequestListener::ExitRequestListener(HANDLE exit_request, HWND window) {
  if (exit_request == nullptr || window == nullptr) return;
  if (!RegisterWaitForSingleObject(&wait_, exit_request, &OnExitRequest, window, INFINITE,
                                   WT_EXECUTEONLYONCE)) {
    wait_ = nullptr;
  }
}

ExitRequestListener::~ExitRequestListener() {
  // Waits for a callback that is running: none posts to the window after this.
  if (wait_ != nullptr) UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
}

}  // namespace kalvane
