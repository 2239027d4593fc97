#include "sync/section_restore.h"

#include <string>

namespace kalvane {

void SectionRestore::Stop() {
  stopped_ = true;
  guard_.OnClosing();
}

std::optional<RestoreReport> SectionRestore::OnHostsSettled(MonotonicClock::time_point now) {
  if (stopped_ || !guard_.Guarding()) return std::nullopt;  // nothing of ours: no read needed
  const bool was_paused = guard_.Paused();
  const Result<std::string> content = hosts_.ReadHostsFile();
  if (!content) return std::nullopt;
  const GuardDecision decision = guard_.OnHostsChanged(*content, now);
  switch (decision) {
    case GuardDecision::kNothing:
      return std::nullopt;
    case GuardDecision::kPaused:
      // Said once, when restoring stops; later changes while paused are left alone silently.
      if (was_paused) return std::nullopt;
      return RestoreReport{decision, {}};
    case GuardDecision::kMoveUp:
    case GuardDecision::kRestore:
      break;
  }
  // The rows are the latest answer's either way: a failed write leaves them the ones to put back.
  return RestoreReport{decision, hosts_.WriteHostsSection(guard_.Mappings())};
}

}  // namespace kalvane
