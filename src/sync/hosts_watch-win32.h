#pragma once

#include <windows.h>

#include <optional>

#include "base/file_path.h"
#include "platform/folder_watch-win32.h"
#include "platform/window_timer-win32.h"

namespace kalvane {

// The window timer that tells the hosts folder has been quiet, and how long quiet means.
inline constexpr UINT_PTR kHostsQuietTimerId = 4;
inline constexpr UINT kHostsQuietMs = 500;

// Watches the hosts file's folder for another program's changes, served by the window thread's
// wait: the wait includes handle(); when it is signalled the window calls OnSignalled, which
// re-arms the watch and starts (or restarts) a half-second timer on the window. Only when that
// timer's WM_TIMER comes, that is when the folder has been quiet for half a second, does OnTimer
// answer true: then the hosts file is read, and no program is still half way through writing it.
// Our own writes are seen as well; telling them apart is up to the reader of the content.
class HostsWatch {
 public:
  HostsWatch(HWND window, const FilePath& hosts);
  HostsWatch(const HostsWatch&) = delete;
  HostsWatch& operator=(const HostsWatch&) = delete;

  // The handle to wait on; nullptr when the folder cannot be watched (or the watch has ended).
  HANDLE handle() const { return folder_.handle(); }
  void OnSignalled();
  // WM_TIMER with `id`: true when it is the quiet timer running out (it is then stopped).
  bool OnTimer(UINT_PTR id);
  // Ends the watch and its timer: nothing after this reads or restores the hosts file.
  void Stop();

 private:
  HWND window_;
  FolderWatch folder_;
  std::optional<WindowTimer> quiet_;
};

}  // namespace kalvane
