#pragma once

// What the tray icon and its tool-tip show: the outcome of the last update. A restore is not an
// update: it leaves the icon and the outcome's line as they are, and a restore that failed adds a
// line of its own below.

#include <optional>
#include <string>

#include "status/status_line.h"
#include "sync/update_cycle.h"
#include "tray/status_icon_rule.h"

namespace kalvane {

struct TrayView {
  std::optional<TrayIconState> icon;  // nothing: the icon stays as it is (blinking included)
  std::u16string tip_line;            // the tool-tip below its title
};

class TrayOutcome {
 public:
  // An update cycle ended at `at`: its outcome is what the tray shows from now on.
  TrayView OnCycle(const CycleReport& report, TimeOfDay at);
  // A restore, a move of others' lines, or a pause of restoring, at `at`. Restoring paused
  // shows the steady failure icon and says why, until the next cycle: the section stays away.
  TrayView OnRestore(const RestoreReport& report, TimeOfDay at) const;

 private:
  std::u16string outcome_line_;
};

}  // namespace kalvane
