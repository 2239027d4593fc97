#include "sync/hosts_store.h"

#include <string>
#include <utility>

#include "sync/hosts_section.h"

namespace kalvane {
namespace {

// Wide suffixes: on Windows they join the path as they are, where a narrow one would need the
// locale's conversion (and bring all of it into the program).
std::filesystem::path Sibling(const std::filesystem::path& path, const wchar_t* suffix) {
  if (path.empty()) return {};
  auto sibling = path;
  sibling += suffix;
  return sibling;
}

}  // namespace

HostsStore::HostsStore(std::unique_ptr<FileSystem> files, HostsPaths paths,
                       std::function<void()> on_hosts_changed, std::string service_host)
    : files_(std::move(files)),
      paths_(std::move(paths)),
      temp_stem_(Sibling(paths_.hosts, L".kalvane-new")),
      backup_(Sibling(paths_.hosts, L".kalvane-old")),
      on_hosts_changed_(std::move(on_hosts_changed)),
      service_host_(std::move(service_host)) {}

HostsStepReport HostsStore::WriteHostsSection(const DomainList& mappings) noexcept {
  return Guarded([&] { return Write(mappings); });
}

HostsStepReport HostsStore::ClearHostsSection() noexcept {
  return Guarded([&] { return Clear(); });
}

HostsStepReport HostsStore::Guarded(const std::function<HostsStepReport()>& step) noexcept {
  working_copy_saved_ = false;
  try {
    return step();
  } catch (...) {
    return {HostsOutcome::kInternalError};
  }
}

HostsStepReport HostsStore::Write(const DomainList& mappings) {
  std::string old_content;
  if (const auto failure = ReadHosts(old_content)) return *failure;
  if (mappings.empty()) {
    SaveWorkingCopy(ComposeUserLines(old_content));
    return {HostsOutcome::kNotTouched};
  }
  const auto new_content = ComposeHostsWithSection(old_content, mappings, service_host_);
  SaveWorkingCopy(new_content);
  HostsStepReport report = Install(old_content, new_content);
  if (HostsStepSucceeded(report.outcome)) {
    report.rows_written = CountWritableMappings(mappings, service_host_);
  }
  return report;
}

HostsStepReport HostsStore::Clear() {
  std::string old_content;
  if (const auto failure = ReadHosts(old_content)) return *failure;
  if (!HasSection(old_content)) return {HostsOutcome::kNotTouched};
  const auto new_content = ComposeUserLines(old_content);
  SaveWorkingCopy(new_content);
  return Install(old_content, new_content);
}

std::optional<HostsStepReport> HostsStore::ReadHosts(std::string& content) {
  if (paths_.hosts.empty()) return HostsStepReport{HostsOutcome::kNoHostsPath};
  RecoverInterruptedReplace();
  const FileResult read = files_->ReadWhole(paths_.hosts, content);
  switch (read.status) {
    case FileStatus::kOk:
      break;
    case FileStatus::kNotFound:
      return HostsStepReport{HostsOutcome::kHostsMissing, read.system_error};
    case FileStatus::kFailed:
      return HostsStepReport{HostsOutcome::kHostsUnreadable, read.system_error};
  }
  if (!IsPlainTextHosts(content)) return HostsStepReport{HostsOutcome::kHostsNotText};
  return std::nullopt;
}

// The working copy is a by-product for the user to look at: whatever happens to it, the step goes
// on with the hosts file.
void HostsStore::SaveWorkingCopy(std::string_view content) {
  working_copy_saved_ = !paths_.working_copy.empty() &&
                        files_->WriteWhole(paths_.working_copy, content, SyncMode::kNone).ok();
}

HostsStepReport HostsStore::Install(std::string_view old_content, std::string_view new_content) {
  if (new_content == old_content) return {HostsOutcome::kUnchanged};
  // A new file under an unpredictable name each time: nothing put there beforehand is written.
  // One left by an interrupted run may carry the hosts file's read-only attribute; it goes first.
  const FileResult written = WriteFreshTemporary(*files_, temp_stem_, new_content, temp_);
  if (!written.ok()) return {HostsOutcome::kTempFileFailed, written.system_error};
  // The hosts file exists (it was just read), so a backup left by an earlier run is stale.
  if (files_->Exists(backup_)) files_->Remove(backup_);
  const ReplaceOutcome replaced = files_->ReplaceKeepingBackup(paths_.hosts, temp_, backup_);
  switch (replaced.result) {
    case ReplaceResult::kReplaced:
      return Verify(new_content);
    case ReplaceResult::kNotReplaced:
      if (!files_->Exists(paths_.hosts)) {
        return PutBackAfterFailedMove(new_content, replaced.system_error);
      }
      files_->Remove(temp_);
      return {HostsOutcome::kReplaceFailed, replaced.system_error};
    case ReplaceResult::kReplacedMovedToBackup:
      return PutBackAfterFailedMove(new_content, replaced.system_error);
  }
  return {HostsOutcome::kInternalError};
}

// The hosts file name is empty: the old file is under the backup name, the new content under the
// temporary one. The old file goes back; failing that, the new content goes in, so that the
// hosts file is never left missing while either can be moved. `error` is the failed replace's.
HostsStepReport HostsStore::PutBackAfterFailedMove(std::string_view new_content,
                                                   std::uint32_t error) {
  if (files_->MoveReplacing(backup_, paths_.hosts)) {
    files_->Remove(temp_);
    return {HostsOutcome::kReplaceFailed, error};
  }
  if (files_->MoveReplacing(temp_, paths_.hosts)) return Verify(new_content);
  return {HostsOutcome::kRestoreFailed, error};
}

HostsStepReport HostsStore::Verify(std::string_view new_content) {
  std::string written;
  const FileResult read = files_->ReadWhole(paths_.hosts, written);
  if (read.ok() && written == new_content) {
    files_->Remove(backup_);
    NotifyChanged();
    return {HostsOutcome::kWritten};
  }
  // The backup is the old hosts file itself, security descriptor included: moving it back
  // restores the hosts file as it was.
  if (!files_->MoveReplacing(backup_, paths_.hosts)) NotifyChanged();
  return {HostsOutcome::kVerifyFailed, read.system_error};
}

void HostsStore::RecoverInterruptedReplace() {
  if (files_->Exists(paths_.hosts) || !files_->Exists(backup_)) return;
  if (files_->MoveReplacing(backup_, paths_.hosts)) NotifyChanged();
}

void HostsStore::NotifyChanged() noexcept {
  if (!on_hosts_changed_) return;
  try {
    on_hosts_changed_();
  } catch (...) {
    // Only a cache flush hangs on this; the hosts file itself is done.
  }
}

}  // namespace kalvane
