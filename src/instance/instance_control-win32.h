#pragma once

// Kalvane.exe /close, /cleanup and /secure (see instance_command.h), and the running copy's side
// of /close: its exit request.

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "base/file_path.h"
#include "instance/single_instance-win32.h"

namespace kalvane {

// How long /close waits, in all, for the running copies to end.
inline constexpr std::chrono::milliseconds kClosePatience{20000};

// Runs the switch on this process's command line and gives its exit code; nothing when the
// command line holds none and the program is to start as usual.
std::optional<int> RunInstanceCommand();

// Asks the running copies of the program to close as their close box would (so that each
// removes its hosts section) and waits for their processes to end, `patience` in all:
// - the holder of the machine's lock, found through the process id it recorded, asked through
//   its exit request or, where the lock has none, through its window on this desktop;
// - a copy that knows no exit request (an older version): a window of the program's class whose
//   process runs `folder`\Kalvane.exe.
// A window of that class in any other process is neither asked nor waited for. kTimedOut when a
// copy still runs at the end.
Status CloseRunningCopies(const FilePath& folder, std::chrono::milliseconds patience);

// The first of those: the holder of the lock that `probe` makes or opens each time it looks
// (InstanceLock::ForThisMachine for the machine's). Each holder is asked once, then waited for;
// a copy that takes the lock after the one asked is asked in its turn. Done once the lock is
// free before `deadline`; kTimedOut when it is not, kRejected when something that is not the
// program holds it, and the probe's failure when the lock cannot be looked at.
Status CloseLockHolder(const std::function<Result<InstanceLock>()>& probe,
                       std::chrono::steady_clock::time_point deadline);

// While it lives, a signal of `exit_request` closes `window` the way its close box does (a
// WM_CLOSE, delivered also while an update cycle waits). Does nothing for a null event or window.
class ExitRequestListener {
 public:
  ExitRequestListener(HANDLE exit_request, HWND window);
  ~ExitRequestListener();
  ExitRequestListener(const ExitRequestListener&) = delete;
  ExitRequestListener& operator=(const ExitRequestListener&) = delete;

 private:
  HANDLE wait_ = nullptr;
};

}  // namespace kalvane
