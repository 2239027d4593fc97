#include "sync/hosts_watch-win32.h"

#include <optional>

namespace kalvane {

HostsWatch::HostsWatch(const FilePath& hosts, SectionRestore& restore, RestoreObserver& observer,
                       const EventPump& clock)
    : restore_(restore),
      observer_(observer),
      clock_(clock),
      folder_(hosts.parent_path()),
      quiet_([this] { OnQuiet(); }) {}

void HostsWatch::OnSignalled() {
  if (restore_.Stopped()) {
    folder_.Stop();
    quiet_.Stop();
    return;
  }
  if (!folder_.Watching()) return;
  folder_.Rearm();
  quiet_.Start(kHostsQuietMs);  // starts the half second anew
}

void HostsWatch::OnQuiet() {
  quiet_.Stop();  // one tick: the next change starts it again
  if (const std::optional<RestoreReport> report = restore_.OnHostsSettled(clock_.Now())) {
    observer_.OnRestore(*report);
  }
}

}  // namespace kalvane
