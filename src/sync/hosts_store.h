#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/file_path.h"
#include "base/file_system.h"
#include "base/status.h"
#include "sync/domain_list.h"
#include "sync/hosts_section.h"

namespace kalvane {

struct HostsPaths {
  FilePath hosts;         // empty when the system directory is unknown
  FilePath working_copy;  // "hosts.bak" in the program folder; empty when unknown
};

// Which step decided how a write or clear of the section went. The first three are the ways it
// goes through; on every other step the hosts file is left byte for byte as it was, except where
// noted below.
enum class HostsStep : std::uint8_t {
  kWritten,     // the hosts file now holds the new content (read back and compared)
  kUnchanged,   // the new content equals the hosts file's; it was not rewritten
  kNotTouched,  // an empty mapping list, or no section to clear: the hosts file is left alone
  kLocate,      // the system directory is unknown
  kRead,        // reading the hosts file: kNotFound when there is none (none is created),
                // kRejected when it is no text we rewrite line by line (UTF-16, NUL bytes),
                // any other kind when it cannot be read (rights, opened without sharing, I/O)
  kCompose,     // the content could not be held in memory (kOutOfMemory); nothing was replaced
  kTempFile,    // the new content could not be written and flushed beside the hosts file
  kReplace,     // the hosts file could not be replaced (read-only, in use, rights)
  kVerify,      // the replaced file did not read back as written; the old one was moved back
                // (when even that fails, the unverified new content stays)
  kPutBack,     // the hosts file is missing, its old content is kept under the backup name and is
                // moved back by the next step; the status is the failed replace's
};

// How one step went: the step that decided it, its Status (ok exactly for the first three steps;
// otherwise the failed file operation's, with the platform's error code when one is known), and
// the rows the section holds as the store wrote them, in order. The rows are there only when
// the hosts file holds them now: after kWritten, and after kUnchanged of a write.
struct HostsOutcome {
  HostsStep step = HostsStep::kNotTouched;
  Status status;
  SharedDomainList rows;

  static HostsOutcome Done(HostsStep step, SharedDomainList rows = nullptr) {
    return {step, OkStatus(), std::move(rows)};
  }
  // A failure on `step`; a Status that says ok would contradict it and becomes kFailed.
  static HostsOutcome Failed(HostsStep step, Status status) {
    return {step, status.ok() ? Status::Failure(StatusKind::kFailed) : status, nullptr};
  }

  // The hosts file is as the step meant it to be.
  bool ok() const { return status.ok(); }
  std::size_t RowCount() const { return rows ? rows->size() : 0; }

  // The same step, status and rows (compared row by row).
  friend bool operator==(const HostsOutcome& a, const HostsOutcome& b) {
    return a.step == b.step && a.status == b.status &&
           (a.rows == b.rows || (a.rows && b.rows && *a.rows == *b.rows));
  }
};

// What the update cycle asks of the hosts file: put a list into the program's section, take the
// section out, or read the file as it stands (to see whether another program changed it).
class HostsWriter {
 public:
  virtual ~HostsWriter() = default;
  virtual HostsOutcome WriteHostsSection(const SharedDomainList& mappings) noexcept = 0;
  virtual HostsOutcome ClearHostsSection() noexcept = 0;
  virtual Result<std::string> ReadHostsFile() noexcept = 0;
  // More host names no row may name from now on: the proxy the answers come through.
  virtual void RefuseAlso(std::vector<std::string> hosts) { (void)hosts; }
};

// The program's section of the hosts file: from the first "#BEGIN" line to the end. The hosts
// file is shared, so a line there that the program did not write is never deleted: the store
// keeps a record of the rows it wrote (the last list written in this run; before the first write,
// the section of the working copy a run before left, when it is intact and the hosts file's
// section holds every one of its rows), and each step moves every other line of the section above
// the marker, in order. Without such a record the section runs to the end of the file.
// Each step composes the new content in memory, leaves a copy of it in the working copy as well
// as that can be done (a by-product: a working copy that cannot be written stops nothing), then
// swaps it in with an atomic replace through a flushed temporary file beside the hosts file.
// Neither step throws or shows anything; the outcome tells what happened, with the platform's
// error code of the failure that decided it, and the rows written.
//
// A missing hosts file is not created: a system without one has it that way for a reason, and a
// file we made would not carry the rights the system gives its own. The one exception is our own
// interrupted replace: when the hosts file is missing and the backup name beside it holds the old
// file, that file is moved back first.
class HostsStore final : public HostsWriter {
 public:
  // Rows that `refused` refuses are never written (see IsWritableMapping).
  HostsStore(std::unique_ptr<FileSystem> files, HostsPaths paths,
             std::function<void()> on_hosts_changed = {}, RefusedHosts refused = {});

  // Puts `mappings` into the section (its writable rows; the outcome's rows are `mappings` itself
  // when every row is writable). With an empty list only the working copy is written (the
  // user's lines) and the hosts file is left as it is, a section written earlier included.
  HostsOutcome WriteHostsSection(const SharedDomainList& mappings) noexcept override;

  // Cuts the section out of the hosts file whenever it holds one, whatever the last list was:
  // a section left by an earlier run, a crash or an empty answer goes as well. A hosts file
  // without a "#BEGIN" line is left alone.
  HostsOutcome ClearHostsSection() noexcept override;

  // The hosts file's content; kRejected for a file that is no text we rewrite line by line.
  Result<std::string> ReadHostsFile() noexcept override;
  void RefuseAlso(std::vector<std::string> hosts) override { refused_.others = std::move(hosts); }

 private:
  HostsOutcome Write(const SharedDomainList& mappings);
  HostsOutcome Clear();
  Result<std::string> ReadHosts();
  // The record of our rows to take `content`'s section apart by; nullptr when there is none.
  const SectionRows* Record(std::string_view content);
  void SaveWorkingCopy(std::string_view content);
  HostsOutcome Install(std::string_view old_content, std::string_view new_content);
  HostsOutcome PutBackAfterFailedMove(std::string_view new_content, Status replace_failure);
  HostsOutcome Verify(std::string_view new_content);
  void RecoverInterruptedReplace();
  void NotifyChanged() noexcept;

  std::unique_ptr<FileSystem> files_;
  HostsPaths paths_;
  FilePath temp_stem_;  // the temporary file's name before its random suffix
  FilePath temp_;       // the new content, beside the hosts file
  FilePath backup_;     // the old hosts file while it is being replaced
  std::function<void()> on_hosts_changed_;
  RefusedHosts refused_;
  std::optional<SectionRows> record_;
  bool record_looked_up_ = false;  // the working copy left by an earlier run has been read
};

}  // namespace kalvane
