#pragma once

// The status window's history kept across runs, in a file beside "abc.txt" and as private as it:
// UTF-16LE with a byte-order mark, a header line naming the format and its version, one line per
// event, newest first ("MM-DD HH:MM:SS", TAB, the outcome, TAB, the change), and a last line
// "end <rows>". Lines end in CR LF. The file is replaced whole through a fresh temporary, so a
// crash leaves the old one or the new one; one that is missing its last line, larger than the
// bound, from another program or from a later version is set aside and never trusted.

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_path.h"
#include "base/file_system.h"
#include "base/status.h"
#include "status/status_journal.h"

namespace kalvane {

inline constexpr std::size_t kHistoryFileRows = 1000;
inline constexpr std::size_t kHistoryFileBytes = 256 * 1024;

// The file's bytes for `entries` (newest first): as many of the newest as fit the bounds.
std::string EncodeHistory(const std::deque<JournalEntry>& entries);

// The events of a file's bytes, newest first; kRejected for anything EncodeHistory did not write
// whole (torn, foreign, oversized, a later version).
Result<std::vector<JournalEntry>> DecodeHistory(std::string_view bytes);

class HistoryFile {
 public:
  // `path` empty: nothing is read or kept.
  HistoryFile(FileSystem& files, FilePath path) : files_(files), path_(std::move(path)) {}

  // The earlier runs' events, newest first. A file that cannot be trusted (see above, or one
  // that others may open) is renamed with ".bad" added and the history starts afresh.
  std::vector<JournalEntry> Load();
  // Replaces the file with `entries`; on a failure the old file is as it was.
  Status Save(const std::deque<JournalEntry>& entries);

 private:
  FileSystem& files_;
  FilePath path_;
};

}  // namespace kalvane
