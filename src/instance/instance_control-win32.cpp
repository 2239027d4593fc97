#include "instance/instance_control-win32.h"

#include <shellapi.h>

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

#include "account/settings_file.h"
#include "base/file_path.h"
#include "instance/instance_command.h"
#include "instance/single_instance-win32.h"
#include "instance/window_names.h"
#include "platform/file_system-win32.h"
#include "platform/known_folders-win32.h"
#include "platform/process_info-win32.h"
#include "platform/top_level_windows-win32.h"
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

// The holder `process_id` of `lock`, opened to be waited for, when it is still the holder once
// opened and runs elevated: the holder may end between the reading of its record and the
// opening, and its process id then name another process, which is neither asked nor waited for.
UniqueKernelObject OpenHolder(const InstanceLock& lock, DWORD process_id) {
  UniqueKernelObject process(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  const Result<DWORD> still = lock.HolderProcessId();
  if (!process || !still || *still != process_id || !CheckElevated(process.get()).ok()) return {};
  return process;
}

std::optional<BY_HANDLE_FILE_INFORMATION> FileIdentity(const FilePath& path) {
  const UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return info;
}

// True when `process` runs the file `image`: the same file, however the two paths spell it.
bool ProcessRunsImage(HANDLE process, const FilePath& image) {
  const Result<std::wstring> running = ProcessImagePath(process);
  if (!running) return false;
  const auto a = FileIdentity(*running);
  const auto b = FileIdentity(image);
  return a && b && a->dwVolumeSerialNumber == b->dwVolumeSerialNumber &&
         a->nFileIndexHigh == b->nFileIndexHigh && a->nFileIndexLow == b->nFileIndexLow;
}

// Copies that know no exit request: recognised by the image their window's process runs and by
// its elevation (a process that is not elevated never holds the lock: it is no running Kalvane,
// but a copy stopped at its message), and only then sent a WM_CLOSE.
bool CloseCopiesRunning(const FilePath& image, Clock::time_point deadline) {
  std::vector<UniqueKernelObject> asked;
  for (HWND window : WindowsOfClass(kMainWindowClass)) {
    const DWORD process_id = WindowProcessId(window);
    if (process_id == GetCurrentProcessId()) continue;
    UniqueKernelObject process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
    if (!process || !ProcessRunsImage(process.get(), image) || !CheckElevated(process.get()).ok()) {
      continue;  // not the program
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    asked.push_back(std::move(process));
  }
  return std::all_of(asked.begin(), asked.end(), [&](const UniqueKernelObject& process) {
    return WaitForSingleObject(process.get(), Remaining(deadline)) == WAIT_OBJECT_0;
  });
}

// /secure: abc.txt beside the program is loaded the way the program loads it at start, which
// writes one that others may open again as a private file. Done when there is none, or it is
// private now.
int SecureSettingsFile() {
  const Result<FilePath> folder = ProgramFolder();
  if (!folder) return kCommandFailed;
  const std::unique_ptr<FileSystem> files = MakeWin32FileSystem(FilePrivacy::kAdministratorsOnly);
  const FilePath path = *folder / kSettingsFileName;
  if (!files->Exists(path)) return kCommandDone;
  SettingsFile settings(*files, path);
  const bool loaded = settings.Read().ok();
  return loaded && !files->OpenToOthers(path) ? kCommandDone : kCommandFailed;
}

VOID CALLBACK OnExitRequest(PVOID window, BOOLEAN /*timed_out*/) {
  PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
}

}  // namespace

std::optional<int> RunInstanceCommand() {
  const std::vector<std::u16string> arguments = CommandLineArguments();
  const std::optional<InstanceCommand> command = ParseInstanceCommand(arguments);
  if (!command) return std::nullopt;
  switch (command->kind) {
    case InstanceCommand::Kind::kCleanup: {
      // The same step as the clean-up when the window closes.
      HostsStore hosts = MakeWindowsHostsStore(RefusedHostsOfThisMachine());
      return CleanupExitCode(hosts.ClearHostsSection());
    }
    case InstanceCommand::Kind::kClose: {
      const Result<FilePath> folder =
          command->folder.empty() ? ProgramFolder() : Result<FilePath>(ToWide(command->folder));
      if (!folder) return kCommandFailed;
      return CloseRunningCopies(*folder, kClosePatience).ok() ? kCommandDone : kCommandFailed;
    }
    case InstanceCommand::Kind::kSecure:
      return SecureSettingsFile();
    case InstanceCommand::Kind::kUsage:
      break;
  }
  return kCommandUsage;
}

Status CloseRunningCopies(const FilePath& folder, std::chrono::milliseconds patience) {
  const auto deadline = Clock::now() + patience;
  const Status holder_gone = CloseLockHolder(&InstanceLock::ForThisMachine, deadline);
  const bool older_gone = CloseCopiesRunning(folder / kProgramFileName, deadline);
  if (!holder_gone.ok()) return holder_gone;
  return older_gone ? OkStatus() : Status::Failure(StatusKind::kTimedOut);
}

Status CloseLockHolder(const std::function<Result<InstanceLock>()>& probe_lock,
                       Clock::time_point deadline) {
  DWORD asked_id = 0;
  UniqueKernelObject asked;
  for (;;) {
    {
      const Result<InstanceLock> probe = probe_lock();
      if (!probe) return probe.status();
      if (probe->state() == LockState::kHeldByOther) return Status::Failure(StatusKind::kRejected);
      if (probe->state() == LockState::kAcquired) return OkStatus();
      const Result<DWORD> process_id = probe->HolderProcessId();
      if (process_id && *process_id != asked_id) {
        UniqueKernelObject holder = OpenHolder(*probe, *process_id);
        if (holder && (probe->RequestHolderExit().ok() || PostCloseToWindowsOf(*process_id))) {
          asked_id = *process_id;
          asked = std::move(holder);
        }
      }
    }
    if (Clock::now() >= deadline) return Status::Failure(StatusKind::kTimedOut);
    // The one asked ends, or the poll pause passes: then the lock is looked at again.
    if (asked && WaitForSingleObject(asked.get(), Remaining(deadline)) == WAIT_OBJECT_0) {
      asked.reset();
    } else if (!asked) {
      std::this_thread::sleep_for(kPollPause);
    }
  }
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
