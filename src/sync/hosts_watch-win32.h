#pragma once

#include <windows.h>

#include <functional>

#include "base/file_path.h"
#include "platform/folder_watch-win32.h"
#include "platform/window_timer-win32.h"

namespace kalvane {

// How long the hosts folder must be quiet before the hosts file is read.
inline constexpr UINT kHostsQuietMs = 500;

// Watches the hosts file's folder for another program's changes, served by the window thread's
// wait: the wait includes handle(); when it is signalled the owner calls OnSignalled, which
// re-arms the watch and starts (or restarts) a half-second timer. Only when that timer runs out,
// that is when the folder has been quiet for half a second, does `on_settled` run: then the hosts
// file is read, and no program is still half way through writing it. Our own writes are seen as
// well; telling them apart is up to the reader of the content.
class HostsWatch {
 public:
  HostsWatch(const FilePath& hosts, std::function<void()> on_settled);
  HostsWatch(const HostsWatch&) = delete;
  HostsWatch& operator=(const HostsWatch&) = delete;

  // The handle to wait on; nullptr when the folder cannot be watched (or the watch has ended).
  HANDLE handle() const { return folder_.handle(); }
  void OnSignalled();
  // Ends the watch and its timer: nothing after this reads or restores the hosts file.
  void Stop();

 private:
  void OnQuiet();

  std::function<void()> on_settled_;
  FolderWatch folder_;
  WindowTimer quiet_;
};

}  // namespace kalvane
