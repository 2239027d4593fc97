#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/file_system.h"
#include "sync/domain_list.h"

namespace kalvane {

struct HostsPaths {
  std::filesystem::path hosts;         // empty when the system directory is unknown
  std::filesystem::path working_copy;  // "hosts.bak" in the program folder; empty when unknown
};

// The outcome of one step. kWritten leaves the new content in the hosts file; every other outcome
// leaves the hosts file byte for byte as it was, except the two noted below.
enum class HostsOutcome {
  kWritten,            // the hosts file now holds the new content (read back and compared)
  kUnchanged,          // the new content equals the hosts file's; it was not rewritten
  kNotTouched,         // an empty mapping list: the hosts file is left alone
  kNoHostsPath,        // the system directory is unknown
  kHostsMissing,       // there is no hosts file; none is created
  kHostsUnreadable,    // the hosts file cannot be read (rights, opened without sharing, I/O)
  kHostsNotText,       // UTF-16 or NUL bytes: not a file we rewrite line by line
  kWorkingCopyFailed,  // the working copy could not be written
  kTempFileFailed,     // the new content could not be written and flushed beside the hosts file
  kReplaceFailed,      // the hosts file could not be replaced (read-only, in use, rights)
  kVerifyFailed,       // the replaced file did not read back as written; the old one was moved
                       // back (when even that fails, the unverified new content stays)
  kRestoreFailed,      // the hosts file is missing, its old content is kept under the backup name
                       // and is moved back by the next step
  kInternalError,      // out of memory or a like fault; nothing was replaced
};

// The program's section of the hosts file: everything from the first "#BEGIN" line to the end.
// Each step composes the new content in the working copy, then swaps it in with an atomic
// replace through a flushed temporary file beside the hosts file. Neither step throws or shows
// anything; the outcome tells what happened.
//
// A missing hosts file is not created: a system without one has it that way for a reason, and a
// file we made would not carry the rights the system gives its own. The one exception is our own
// interrupted replace: when the hosts file is missing and the backup name beside it holds the old
// file, that file is moved back first.
class HostsStore {
 public:
  HostsStore(std::unique_ptr<FileSystem> files, HostsPaths paths,
             std::function<void()> on_hosts_changed = {});

  // Puts `mappings` into the section. With an empty list only the working copy is written (the
  // user's lines) and the hosts file is left as it is, a section written earlier included.
  HostsOutcome WriteHostsSection(const DomainList& mappings) noexcept;

  // Cuts the section out again; does nothing unless `mappings` (the last list read) is non-empty.
  HostsOutcome ClearHostsSection(const DomainList& mappings) noexcept;

 private:
  HostsOutcome Write(const DomainList& mappings);
  HostsOutcome Clear();
  std::optional<HostsOutcome> ReadHosts(std::string& content);
  bool SaveWorkingCopy(std::string_view content);
  HostsOutcome Install(std::string_view old_content, std::string_view new_content);
  HostsOutcome PutBackAfterFailedMove(std::string_view new_content);
  HostsOutcome Verify(std::string_view new_content);
  void RecoverInterruptedReplace();
  void NotifyChanged() noexcept;

  std::unique_ptr<FileSystem> files_;
  HostsPaths paths_;
  std::filesystem::path temp_stem_;  // the temporary file's name before its random suffix
  std::filesystem::path temp_;       // the new content, beside the hosts file
  std::filesystem::path backup_;     // the old hosts file while it is being replaced
  std::function<void()> on_hosts_changed_;
};

}  // namespace kalvane
