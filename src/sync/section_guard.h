#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/event_pump.h"
#include "sync/domain_list.h"
#include "sync/hosts_section.h"
#include "sync/hosts_store.h"

namespace kalvane {

// What to do about a hosts file that changed.
enum class GuardDecision : std::uint8_t {
  kNothing,  // the section is as we wrote it (our own write, or an edit above it), or there is
             // nothing of ours to keep: no section written yet, or the program is closing
  kRestore,  // our section is missing or differs: write it again from Mappings()
  kMoveUp,   // the section holds our rows as written and lines of others besides: write it again
             // from Mappings(), which moves those lines above the marker (no restore: not counted)
  kPaused,   // it is missing or differs, but restoring is paused (see below)
};

// Another program that resets the hosts file every time is not fought without end: at most this
// many restores within kRestoreWindow, then none until the next regular cycle.
inline constexpr int kMaxRestores = 3;
inline constexpr std::chrono::minutes kRestoreWindow{10};

// Keeps the section the program last wrote in the hosts file when another program removes or
// changes it. The caller reads the hosts file once its folder has been quiet for a moment after a
// change (so that no half-written file is read) and asks OnHostsChanged; on kRestore it writes
// Mappings() with HostsStore::WriteHostsSection, which keeps every line above the marker as the
// other program left it, and moves lines others put into the section above the marker. The guard
// recognises our own writes by their content: a write of ours leaves the section exactly as it
// expects it.
class SectionGuard {
 public:
  using TimePoint = MonotonicClock::time_point;

  // A cycle's hosts step ended with `outcome`. When it holds rows (kWritten, or kUnchanged of a
  // write), the section holds them and is the one to keep. Every other outcome left the hosts
  // file as it was: an empty list (which leaves an earlier section in place, its rows now
  // withdrawn) or a failed write. The section there is then older than the answer, and guarding
  // stops until a later answer's rows are written.
  void OnHostsStep(const HostsOutcome& outcome);
  // A regular cycle ran: it put the section back by itself, and restoring starts afresh.
  void OnRegularCycle();
  // The program is closing: the section goes, and nothing is restored any more.
  void OnClosing() { guarding_ = false; }

  // The hosts file holds `content` now, after a change that has settled. kRestore counts as a
  // restore made at `now`; kMoveUp does not, and comes while restoring is paused as well.
  GuardDecision OnHostsChanged(std::string_view content, TimePoint now);

  // The rows to write back on kRestore: those the section was last written with.
  const SharedDomainList& Mappings() const { return mappings_; }
  // Restoring is paused until the next regular cycle.
  bool Paused() const { return paused_; }
  // A section is kept: without one a change of the hosts file needs no look at all.
  bool Guarding() const { return guarding_; }

 private:
  bool guarding_ = false;
  SharedDomainList mappings_;       // the rows the section holds
  SectionRows rows_;                // its rows as we write them
  std::deque<TimePoint> restores_;  // the latest restores, oldest first, at most kMaxRestores
  bool paused_ = false;
};

}  // namespace kalvane
