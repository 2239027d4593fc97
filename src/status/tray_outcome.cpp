#include "status/tray_outcome.h"

namespace kalvane {

TrayView TrayOutcome::OnCycle(const CycleReport& report, TimeOfDay at) {
  outcome_line_ = TipStatusLine(report, at);
  return {IconState(report.Result()), outcome_line_};
}

TrayView TrayOutcome::OnRestore(const RestoreReport& report, TimeOfDay at) const {
  const std::u16string line = RestoreText(report) + StatusLineTime(at);
  if (report.decision == GuardDecision::kPaused) return {TrayIconState::kFailed, line};
  if (report.hosts.ok()) return {std::nullopt, outcome_line_};
  // The tool-tip cuts what passes its room: the outcome above stays whole.
  return {std::nullopt, outcome_line_.empty() ? line : outcome_line_ + u"\n" + line};
}

}  // namespace kalvane
