#pragma once

#include <optional>

#include "base/event_pump.h"
#include "sync/hosts_store.h"
#include "sync/section_guard.h"

namespace kalvane {

// What a look at a hosts file that another program changed came to: the guard's decision
// (kRestore, kMoveUp or kPaused) and, unless restoring paused, how writing the section again went.
struct RestoreReport {
  GuardDecision decision = GuardDecision::kNothing;
  HostsOutcome hosts;
};

// Told of each restore or pause (the status display).
class RestoreObserver {
 public:
  virtual ~RestoreObserver() = default;
  virtual void OnRestore(const RestoreReport& report) = 0;
};

// Puts the section back when another program removed or changed it, from the rows the last
// cycle wrote and with no request to the service; lines others added to the section go above it.
// SectionGuard decides and bounds this. No cycle runs for it: the update controller only tells it
// of each cycle's hosts step, of a regular refresh and of closing, and the hosts watch
// (hosts_watch-win32.h) of a change that has settled.
class SectionRestore {
 public:
  explicit SectionRestore(HostsWriter& hosts) : hosts_(hosts) {}
  SectionRestore(const SectionRestore&) = delete;
  SectionRestore& operator=(const SectionRestore&) = delete;

  // A cycle's hosts step ended with `outcome`: its rows are the section to keep (or none).
  void OnHostsStep(const HostsOutcome& outcome) { guard_.OnHostsStep(outcome); }
  // A regular refresh runs: restoring, paused or not, starts afresh.
  void OnRegularCycle() { guard_.OnRegularCycle(); }
  // The program is closing: the section goes, and nothing reads or restores the hosts file again.
  void Stop();
  bool Stopped() const { return stopped_; }

  // The hosts file changed and has been quiet for a moment since; `now` counts the restores. The
  // hosts file is read only here. Nothing when there is nothing to tell: the section is as
  // written, there is none to keep, the file cannot be read now (the next change or cycle looks
  // again), or restoring paused earlier (that is told once, when it pauses).
  std::optional<RestoreReport> OnHostsSettled(MonotonicClock::time_point now);

 private:
  HostsWriter& hosts_;
  SectionGuard guard_;
  bool stopped_ = false;
};

}  // namespace kalvane
