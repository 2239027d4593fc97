#include "sync/hosts_watch-win32.h"

namespace kalvane {
namespace {

// The quiet timer's id on the watch's own window, which has no other timer.
constexpr UINT_PTR kQuietTimerId = 1;

}  // namespace

HostsWatch::HostsWatch(HINSTANCE instance, const FilePath& hosts, SectionRestore& restore,
                       RestoreObserver& observer, const EventPump& clock)
    : restore_(restore),
      observer_(observer),
      clock_(clock),
      folder_(hosts.parent_path()),
      window_(instance,
              [this](UINT message, WPARAM wparam, LPARAM) { return OnMessage(message, wparam); }) {}

void HostsWatch::OnSignalled() {
  if (restore_.Stopped()) {
    folder_.Stop();
    quiet_.reset();
    return;
  }
  if (!folder_.Watching()) return;
  folder_.Rearm();
  if (quiet_) {
    quiet_->SetEnabled(true);  // restarts the half second
  } else if (window_.hwnd() != nullptr) {
    quiet_.emplace(window_.hwnd(), kQuietTimerId, kHostsQuietMs);
  }
}

bool HostsWatch::OnMessage(UINT message, WPARAM id) {
  if (message != WM_TIMER || id != kQuietTimerId) return false;
  quiet_.reset();  // one tick: the next change starts it again
  if (const std::optional<RestoreReport> report = restore_.OnHostsSettled(clock_.Now())) {
    observer_.OnRestore(*report);
  }
  return true;
}

}  // namespace kalvane
