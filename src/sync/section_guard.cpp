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

}  // namespace

void SectionGuard::OnHostsStep(const DomainList& mappings, const HostsStepReport& report) {
  if (mappings.empty()) return;
  if (report.outcome != HostsOutcome::kWritten && report.outcome != HostsOutcome::kUnchanged) {
    return;
  }
  guarding_ = true;
  mappings_ = mappings;
  section_ = ComposeHostsWithSection({}, mappings, service_host_);
}

void SectionGuard::OnRegularCycle() {
  restores_.clear();
  paused_ = false;
}

// Line by line, so that a last line that lost its line end still counts as the same.
bool SectionGuard::SectionAsWritten(std::string_view content) const {
  HostsLineReader expected(section_);
  HostsLineReader found(SectionOf(content));
  while (true) {
    const auto want = expected.Next();
    const auto have = found.Next();
    if (want != have) return false;
    if (!want) return true;
  }
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
