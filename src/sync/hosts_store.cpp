#include "sync/hosts_store.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include "base/boundary.h"
#include "sync/hosts_section.h"

namespace kalvane {
namespace {

// The rows of `mappings` that go into the section, in order: `mappings` itself when every one does.
SharedDomainList WritableRows(const SharedDomainList& mappings, const RefusedHosts& refused) {
  const auto writable = [&](const DomainMapping& m) { return IsWritableMapping(m, refused); };
  if (std::ranges::all_of(*mappings, writable)) return mappings;
  auto rows = std::make_shared<DomainList>();
  std::ranges::copy_if(*mappings, std::back_inserter(*rows), writable);
  return rows;
}

// `path` with `suffix` after its last name; nothing for an unknown path.
FilePath Sibling(const FilePath& path, const wchar_t* suffix) {
  if (path.empty()) return {};
  auto sibling = path;
  sibling += suffix;
  return sibling;
}

// What a step that could not hold the content in memory reports (see base/boundary.h); the file
// layer below reports its own failures as a Status, so nothing was replaced then.
HostsOutcome OutOfMemory() {
  return HostsOutcome::Failed(HostsStep::kCompose, Status::Failure(StatusKind::kOutOfMemory));
}

constexpr Status kNoPath = Status::Failure(StatusKind::kNotFound);

}  // namespace

HostsStore::HostsStore(std::unique_ptr<FileSystem> files, HostsPaths paths,
                       std::function<void()> on_hosts_changed, RefusedHosts refused)
    : files_(std::move(files)),
      paths_(std::move(paths)),
      temp_stem_(Sibling(paths_.hosts, L".kalvane-new")),
      backup_(Sibling(paths_.hosts, L".kalvane-old")),
      on_hosts_changed_(std::move(on_hosts_changed)),
      refused_(std::move(refused)) {}

HostsOutcome HostsStore::WriteHostsSection(const SharedDomainList& mappings) noexcept {
  return Guarded([&] { return Write(mappings); }, OutOfMemory());
}

HostsOutcome HostsStore::ClearHostsSection() noexcept {
  return Guarded([&] { return Clear(); }, OutOfMemory());
}

HostsOutcome HostsStore::Write(const SharedDomainList& mappings) {
  if (paths_.hosts.empty()) return HostsOutcome::Failed(HostsStep::kLocate, kNoPath);
  const Result<std::string> old_content = ReadHosts();
  if (!old_content) return HostsOutcome::Failed(HostsStep::kRead, old_content.status());
  const SectionRows* record = Record(*old_content);
  if (!mappings || mappings->empty()) {
    SaveWorkingCopy(ComposeUserLines(*old_content, record));
    return HostsOutcome::Done(HostsStep::kNotTouched);
  }
  const SharedDomainList rows = WritableRows(mappings, refused_);
  const auto new_content = ComposeHostsWithSection(*old_content, *rows, {}, record);
  SaveWorkingCopy(new_content);
  HostsOutcome outcome = Install(*old_content, new_content);
  if (outcome.ok()) {
    record_ = RowLines(*rows, {});
    outcome.rows = rows;
  }
  return outcome;
}

HostsOutcome HostsStore::Clear() {
  if (paths_.hosts.empty()) return HostsOutcome::Failed(HostsStep::kLocate, kNoPath);
  const Result<std::string> old_content = ReadHosts();
  if (!old_content) return HostsOutcome::Failed(HostsStep::kRead, old_content.status());
  if (!HasSection(*old_content)) return HostsOutcome::Done(HostsStep::kNotTouched);
  const auto new_content = ComposeUserLines(*old_content, Record(*old_content));
  SaveWorkingCopy(new_content);
  return Install(*old_content, new_content);
}

// The hosts file's content; kRejected when it is no text we rewrite line by line.
Result<std::string> HostsStore::ReadHostsFile() noexcept {
  return Guarded([&] { return ReadHosts(); },
                 Result<std::string>(Status::Failure(StatusKind::kOutOfMemory)));
}

Result<std::string> HostsStore::ReadHosts() {
  RecoverInterruptedReplace();
  Result<std::string> content = files_->ReadWhole(paths_.hosts);
  if (content && !IsPlainTextHosts(*content)) return Status::Failure(StatusKind::kRejected);
  return content;
}

// The working copy is read once, before the first step writes it: what a run before left there
// is a record only while it is intact, a plain file (never through a link), and the hosts file's
// section still holds every row of it. A copy from another machine or an older section does not.
const SectionRows* HostsStore::Record(std::string_view content) {
  if (!record_looked_up_) {
    record_looked_up_ = true;
    // Without a section in the hosts file there is nothing to take apart, and this step writes
    // the working copy anew.
    if (!paths_.working_copy.empty() && HasSection(content)) {
      const Result<std::string> copy = files_->ReadPlainFile(paths_.working_copy);
      if (copy && IsPlainTextHosts(*copy)) record_ = RowsOfWorkingCopy(*copy);
      if (record_ && SplitHosts(content, &*record_).missing_rows != 0) record_.reset();
    }
  }
  return record_ ? &*record_ : nullptr;
}

// The working copy is a by-product for the user to look at: whatever happens to it, the step goes
// on with the hosts file.
void HostsStore::SaveWorkingCopy(std::string_view content) {
  if (paths_.working_copy.empty()) return;
  (void)files_->WriteWhole(paths_.working_copy, content, SyncMode::kNone);
}

HostsOutcome HostsStore::Install(std::string_view old_content, std::string_view new_content) {
  if (new_content == old_content) return HostsOutcome::Done(HostsStep::kUnchanged);
  // A new file under an unpredictable name each time: nothing put there beforehand is written.
  // One left by an interrupted run may carry the hosts file's read-only attribute; it goes first.
  const Status written = WriteFreshTemporary(*files_, temp_stem_, new_content, temp_);
  if (!written.ok()) return HostsOutcome::Failed(HostsStep::kTempFile, written);
  // The hosts file exists (it was just read), so a backup left by an earlier run is stale.
  if (files_->Exists(backup_)) (void)files_->Remove(backup_);
  const Status replaced = files_->ReplaceKeepingBackup(paths_.hosts, temp_, backup_);
  if (replaced.ok()) return Verify(new_content);
  // A replace that says it left both names may still have moved the hosts file aside.
  if (replaced.kind() == StatusKind::kPartial || !files_->Exists(paths_.hosts)) {
    return PutBackAfterFailedMove(new_content, replaced);
  }
  (void)files_->Remove(temp_);
  return HostsOutcome::Failed(HostsStep::kReplace, replaced);
}

// The hosts file name is empty: the old file is under the backup name, the new content under the
// temporary one. The old file goes back; failing that, the new content goes in, so that the
// hosts file is never left missing while either can be moved. The outcome keeps the failed
// replace's status.
HostsOutcome HostsStore::PutBackAfterFailedMove(std::string_view new_content,
                                                Status replace_failure) {
  if (files_->MoveReplacing(backup_, paths_.hosts).ok()) {
    (void)files_->Remove(temp_);
    return HostsOutcome::Failed(HostsStep::kReplace, replace_failure);
  }
  if (files_->MoveReplacing(temp_, paths_.hosts).ok()) return Verify(new_content);
  return HostsOutcome::Failed(HostsStep::kPutBack, replace_failure);
}

HostsOutcome HostsStore::Verify(std::string_view new_content) {
  const Result<std::string> written = files_->ReadWhole(paths_.hosts);
  if (written && *written == new_content) {
    (void)files_->Remove(backup_);
    NotifyChanged();
    return HostsOutcome::Done(HostsStep::kWritten);
  }
  // The backup is the old hosts file itself, security descriptor included: moving it back
  // restores the hosts file as it was.
  if (!files_->MoveReplacing(backup_, paths_.hosts).ok()) NotifyChanged();
  // Read back but different: no system error behind it.
  return HostsOutcome::Failed(HostsStep::kVerify, written.status());
}

void HostsStore::RecoverInterruptedReplace() {
  if (files_->Exists(paths_.hosts) || !files_->Exists(backup_)) return;
  if (files_->MoveReplacing(backup_, paths_.hosts).ok()) NotifyChanged();
}

void HostsStore::NotifyChanged() noexcept {
  if (!on_hosts_changed_) return;
  // The caller's callback, not the store's own work: only a cache flush hangs on it and the hosts
  // file itself is done, so its failure must not turn the step into a failure.
  (void)Guarded(
      [&] {
        on_hosts_changed_();
        return true;
      },
      false);
}

}  // namespace kalvane
