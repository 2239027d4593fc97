#include "sync/hosts_store.h"

#include <utility>

#include "sync/hosts_section.h"

namespace kalvane {
namespace {

std::filesystem::path Sibling(const std::filesystem::path& path, const char* suffix) {
  if (path.empty()) return {};
  auto sibling = path;
  sibling += suffix;
  return sibling;
}

template <typename Step>
HostsOutcome Guarded(Step&& step) noexcept {
  try {
    return step();
  } catch (...) {
    return HostsOutcome::kInternalError;
  }
}

}  // namespace

HostsStore::HostsStore(std::unique_ptr<FileSystem> files, HostsPaths paths,
                       std::function<void()> on_hosts_changed)
    : files_(std::move(files)),
      paths_(std::move(paths)),
      temp_stem_(Sibling(paths_.hosts, ".kalvane-new")),
      backup_(Sibling(paths_.hosts, ".kalvane-old")),
      on_hosts_changed_(std::move(on_hosts_changed)) {}

HostsOutcome HostsStore::WriteHostsSection(const DomainList& mappings) noexcept {
  return Guarded([&] { return Write(mappings); });
}

HostsOutcome HostsStore::ClearHostsSection(const DomainList& mappings) noexcept {
  if (mappings.empty()) return HostsOutcome::kNotTouched;
  return Guarded([&] { return Clear(); });
}

HostsOutcome HostsStore::Write(const DomainList& mappings) {
  std::string old_content;
  if (const auto failure = ReadHosts(old_content)) return *failure;
  const auto new_content = mappings.empty() ? ComposeUserLines(old_content)
                                            : ComposeHostsWithSection(old_content, mappings);
  if (!SaveWorkingCopy(new_content)) return HostsOutcome::kWorkingCopyFailed;
  if (mappings.empty()) return HostsOutcome::kNotTouched;
  return Install(old_content, new_content);
}

HostsOutcome HostsStore::Clear() {
  std::string old_content;
  if (const auto failure = ReadHosts(old_content)) return *failure;
  const auto new_content = ComposeUserLines(old_content);
  if (!SaveWorkingCopy(new_content)) return HostsOutcome::kWorkingCopyFailed;
  return Install(old_content, new_content);
}

std::optional<HostsOutcome> HostsStore::ReadHosts(std::string& content) {
  if (paths_.hosts.empty()) return HostsOutcome::kNoHostsPath;
  RecoverInterruptedReplace();
  switch (files_->ReadWhole(paths_.hosts, content)) {
    case FileStatus::kOk:
      break;
    case FileStatus::kNotFound:
      return HostsOutcome::kHostsMissing;
    case FileStatus::kFailed:
      return HostsOutcome::kHostsUnreadable;
  }
  if (!IsPlainTextHosts(content)) return HostsOutcome::kHostsNotText;
  return std::nullopt;
}

bool HostsStore::SaveWorkingCopy(std::string_view content) {
  if (paths_.working_copy.empty()) return false;
  return files_->WriteWhole(paths_.working_copy, content, SyncMode::kNone) == FileStatus::kOk;
}

HostsOutcome HostsStore::Install(std::string_view old_content, std::string_view new_content) {
  if (new_content == old_content) return HostsOutcome::kUnchanged;
  // A new file under an unpredictable name each time: nothing put there beforehand is written.
  // One left by an interrupted run may carry the hosts file's read-only attribute; it goes first.
  files_->RemoveNewFiles(temp_stem_);
  temp_.clear();
  if (files_->WriteNewFile(temp_stem_, new_content, SyncMode::kFlush, temp_) != FileStatus::kOk) {
    if (!temp_.empty()) files_->Remove(temp_);
    return HostsOutcome::kTempFileFailed;
  }
  // The hosts file exists (it was just read), so a backup left by an earlier run is stale.
  if (files_->Exists(backup_)) files_->Remove(backup_);
  switch (files_->ReplaceKeepingBackup(paths_.hosts, temp_, backup_)) {
    case ReplaceResult::kReplaced:
      return Verify(new_content);
    case ReplaceResult::kNotReplaced:
      if (!files_->Exists(paths_.hosts)) return PutBackAfterFailedMove(new_content);
      files_->Remove(temp_);
      return HostsOutcome::kReplaceFailed;
    case ReplaceResult::kReplacedMovedToBackup:
      return PutBackAfterFailedMove(new_content);
  }
  return HostsOutcome::kInternalError;
}

// The hosts file name is empty: the old file is under the backup name, the new content under the
// temporary one. The old file goes back; failing that, the new content goes in, so that the
// hosts file is never left missing while either can be moved.
HostsOutcome HostsStore::PutBackAfterFailedMove(std::string_view new_content) {
  if (files_->MoveReplacing(backup_, paths_.hosts)) {
    files_->Remove(temp_);
    return HostsOutcome::kReplaceFailed;
  }
  if (files_->MoveReplacing(temp_, paths_.hosts)) return Verify(new_content);
  return HostsOutcome::kRestoreFailed;
}

HostsOutcome HostsStore::Verify(std::string_view new_content) {
  std::string written;
  if (files_->ReadWhole(paths_.hosts, written) == FileStatus::kOk && written == new_content) {
    files_->Remove(backup_);
    NotifyChanged();
    return HostsOutcome::kWritten;
  }
  // The backup is the old hosts file itself, security descriptor included: moving it back
  // restores the hosts file as it was.
  if (!files_->MoveReplacing(backup_, paths_.hosts)) NotifyChanged();
  return HostsOutcome::kVerifyFailed;
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
