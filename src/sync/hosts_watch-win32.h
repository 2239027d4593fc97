#pragma once

#include <windows.h>

#include "base/event_pump.h"
#include "base/file_path.h"
#include "platform/folder_watch-win32.h"
#include "platform/window_timer-win32.h"
#include "sync/section_restore.h"

namespace kalvane {

// How long the hosts folder must be quiet before the hosts file is read.
inline constexpr UINT kHostsQuietMs = 500;

// The restore's eyes: watches the hosts file's folder for another program's changes, served by
// the window thread's wait: the wait includes handle(), and when it is signalled calls
// OnSignalled, which re-arms the watch and starts (or restarts) a half-second timer of the
// watch's own. Only when that timer runs out, that is when the folder has been quiet for half a
// second, is the hosts file read (SectionRestore::OnHostsSettled, at `clock`'s time): no program
// is still half way through writing it then. What that comes to goes to `observer`. Our own
// writes are seen as well; the restore tells them apart by the content. Once the restore has
// stopped, the watch ends at its next signal and its handle is no longer waited on.
class HostsWatch {
 public:
  HostsWatch(const FilePath& hosts, SectionRestore& restore, RestoreObserver& observer,
             const EventPump& clock);
  HostsWatch(const HostsWatch&) = delete;
  HostsWatch& operator=(const HostsWatch&) = delete;

  // The handle to wait on; nullptr when the folder cannot be watched or the watch has ended.
  HANDLE handle() const { return restore_.Stopped() ? nullptr : folder_.handle(); }
  void OnSignalled();

 private:
  void OnQuiet();

  SectionRestore& restore_;
  RestoreObserver& observer_;
  const EventPump& clock_;
  FolderWatch folder_;
  WindowTimer quiet_;
};

}  // namespace kalvane
