#pragma once

// The few whole-file operations the program needs, behind one interface: the Windows build
// implements them with the Win32 file API; tests use an in-memory disk that can fail, or lose
// power, at any step. The hosts section and the settings file both go through it. A failure is a
// Status: kNotFound when the file or its folder is missing, otherwise kFailed, with the platform's
// error code (GetLastError on Windows) when one is known.

#include <string>
#include <string_view>

#include "base/file_path.h"
#include "base/status.h"

namespace kalvane {

enum class SyncMode { kNone, kFlush };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The whole file.
  virtual Result<std::string> ReadWhole(const FilePath& path) = 0;
  // The whole file, only when `path` is one plain file on the disk reached by that very name (as
  // WriteWhole asks): through a link, a junction or a device it is refused (kFailed).
  virtual Result<std::string> ReadPlainFile(const FilePath& path) = 0;
  // Creates or empties `path` and writes `content`; with kFlush the bytes are on the disk when
  // this succeeds. An existing `path` is written only when it is one plain file on the disk,
  // reached by that very name: a hard link, a symbolic link, a junction or a device there is
  // refused (kFailed) and neither it nor what it leads to is changed.
  virtual Status WriteWhole(const FilePath& path, std::string_view content, SyncMode sync) = 0;
  // Writes `content` into a new file named `stem` followed by an unpredictable suffix, made only
  // where no file of that name exists yet: nothing planted beforehand is ever opened. Its name
  // goes into `created` as soon as the file exists, so that a failed write can be removed.
  virtual Status WriteNewFile(const FilePath& stem, std::string_view content, SyncMode sync,
                              FilePath& created) = 0;
  // Removes what WriteNewFile left under `stem` in a run that ended before cleaning up. A link
  // found there is removed itself; what it leads to is not touched.
  virtual void RemoveNewFiles(const FilePath& stem) = 0;
  // Puts `replacement` in place of `target`, keeping the target's security and attributes, and
  // leaves the target's old file under `backup`. All three lie in one folder. A failure leaves
  // both files under their own names (the target may still be checked), except kPartial: the old
  // target is under the backup name and the replacement kept its name, so that the target name
  // is empty until one of them is moved there.
  virtual Status ReplaceKeepingBackup(const FilePath& target, const FilePath& replacement,
                                      const FilePath& backup) = 0;
  // Renames `from` to `to`, replacing `to` if it exists, written through to the disk.
  virtual Status MoveReplacing(const FilePath& from, const FilePath& to) = 0;
  virtual Status Remove(const FilePath& path) = 0;
  // False only when `path` surely names no file; a failed look-up counts as present.
  virtual bool Exists(const FilePath& path) = 0;
  // True when a file system that keeps its files private finds that `path` lets others in, so
  // that it is to be written again; a file system that keeps nothing private says false.
  virtual bool OpenToOthers(const FilePath& /*path*/) { return false; }
};

// Writes `content`, flushed, into a fresh file named `stem` and a random suffix, whose name goes
// into `temporary`; what an interrupted run left under `stem` goes first. A temporary that could
// not be written whole is removed again and `temporary` left empty.
inline Status WriteFreshTemporary(FileSystem& files, const FilePath& stem, std::string_view content,
                                  FilePath& temporary) {
  files.RemoveNewFiles(stem);
  temporary.clear();
  const Status written = files.WriteNewFile(stem, content, SyncMode::kFlush, temporary);
  if (!written.ok() && !temporary.empty()) {
    (void)files.Remove(temporary);  // best effort: the next save removes what is left under `stem`
    temporary.clear();
  }
  return written;
}

// Puts `content` in place of `target` by renaming a fresh temporary (see WriteFreshTemporary) over
// it, so that `target` holds its old content or the new, never a part. On a failure `target` is as
// it was and no temporary is left.
inline Status ReplaceThroughFreshTemporary(FileSystem& files, const FilePath& target,
                                           const FilePath& stem, std::string_view content) {
  FilePath temporary;
  if (const Status written = WriteFreshTemporary(files, stem, content, temporary); !written.ok())
    return written;
  const Status moved = files.MoveReplacing(temporary, target);
  if (!moved.ok()) (void)files.Remove(temporary);
  return moved;
}

}  // namespace kalvane
