#include "sync/section_guard.h"

namespace kalvane {

void SectionGuard::OnHostsStep(const HostsOutcome& outcome) {
  // Nothing put back may be older than the latest answer: after an empty list (its rows were
  // withdrawn) or rows that could not be written, the section in the hosts file is older.
  if (!outcome.rows) {
    guarding_ = false;
    mappings_.reset();
    rows_.clear();
    return;
  }
  guarding_ = true;
  mappings_ = outcome.rows;
  rows_ = RowLines(*mappings_, {});  // the store's rows: every one of them was written
}

void SectionGuard::OnRegularCycle() {
  restores_.clear();
  paused_ = false;
}

GuardDecision SectionGuard::OnHostsChanged(std::string_view content, TimePoint now) {
  if (!guarding_) return GuardDecision::kNothing;
  // Line by line and whatever the line ends, so that a last line that lost its line end, or a
  // file another tool saved with LF alone, still holds the section as written.
  const HostsParts parts = SplitHosts(content, &rows_);
  if (parts.has_section && parts.rows_as_written) {
    return parts.foreign.empty() ? GuardDecision::kNothing : GuardDecision::kMoveUp;
  }
  if (paused_) return GuardDecision::kPaused;
  while (!restores_.empty() && now - restores_.front() >= kRestoreWindow) restores_.pop_front();
  if (static_cast<int>(restores_.size()) >= kMaxRestores) {
    paused_ = true;
    return GuardDecision::kPaused;
  }
  restores_.push_back(now);
  return GuardDecision::kRestore;
}

}  // namespace kalvane
