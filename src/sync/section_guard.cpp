#include "sync/section_guard.h"

#include "sync/hosts_section.h"

namespace kalvane {
namespace {

// The section of `content`: from its first marker line to the end; empty when it has none.
std::string_view SectionOf(std::string_view content) {
  HostsLineReader reader(content);
  while (auto line = reader.Next()) {
    if (*line == kSectionMarker) {
      return content.substr(static_cast<std::size_t>(line->data() - content.data()));
    }
  }
  return {};
}

// `line` is the row's line: its address, one space and its host.
bool IsLineOf(std::string_view line, const DomainMapping& row) {
  return line.size() == row.address.size() + 1 + row.host.size() && line.starts_with(row.address) &&
         line[row.address.size()] == ' ' && line.ends_with(row.host);
}

}  // namespace

void SectionGuard::OnHostsStep(const SharedDomainList& mappings, const HostsStepReport& report) {
  if (!mappings || mappings->empty()) return;
  if (report.outcome != HostsOutcome::kWritten && report.outcome != HostsOutcome::kUnchanged) {
    return;
  }
  guarding_ = true;
  mappings_ = mappings;
}

void SectionGuard::OnRegularCycle() {
  restores_.clear();
  paused_ = false;
}

// Line by line against the rows as ComposeHostsWithSection writes them, so that a last line that
// lost its line end still counts as the same.
bool SectionGuard::SectionAsWritten(std::string_view content) const {
  HostsLineReader found(SectionOf(content));
  if (found.Next() != kSectionMarker) return false;
  for (const DomainMapping& row : *mappings_) {
    if (!IsWritableMapping(row, service_host_)) continue;
    const std::optional<std::string_view> line = found.Next();
    if (!line || !IsLineOf(*line, row)) return false;
  }
  return !found.Next();
}

GuardDecision SectionGuard::OnHostsChanged(std::string_view content, TimePoint now) {
  if (!guarding_ || SectionAsWritten(content)) return GuardDecision::kNothing;
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
