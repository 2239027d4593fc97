#include "sync/hosts_watch-win32.h"

namespace kalvane {

HostsWatch::HostsWatch(HWND window, const FilePath& hosts)
    : window_(window), folder_(hosts.parent_path()) {}

void HostsWatch::OnSignalled() {
  if (!folder_.Watching()) return;
  folder_.Rearm();
  if (quiet_) {
    quiet_->SetEnabled(true);  // restarts the half second
  } else {
    quiet_.emplace(window_, kHostsQuietTimerId, kHostsQuietMs);
  }
}

bool HostsWatch::OnTimer(UINT_PTR id) {
  if (id != kHostsQuietTimerId || !quiet_) return false;
  quiet_.reset();  // one tick: the next change starts it again
  return true;
}

void HostsWatch::Stop() {
  folder_.Stop();
  quiet_.reset();
}

}  // namespace kalvane
