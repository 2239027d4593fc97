#include "sync/hosts_watch-win32.h"

#include <utility>

namespace kalvane {

HostsWatch::HostsWatch(const FilePath& hosts, std::function<void()> on_settled)
    : on_settled_(std::move(on_settled)),
      folder_(hosts.parent_path()),
      quiet_([this] { OnQuiet(); }) {}

void HostsWatch::OnSignalled() {
  if (!folder_.Watching()) return;
  folder_.Rearm();
  quiet_.Start(kHostsQuietMs);  // starts the half second anew
}

void HostsWatch::OnQuiet() {
  quiet_.Stop();  // one tick: the next change starts it again
  if (on_settled_) on_settled_();
}

void HostsWatch::Stop() {
  folder_.Stop();
  quiet_.Stop();
}

}  // namespace kalvane
