#pragma once

// The few whole-file operations the program needs, behind one interface: the Windows build
// implements them with the Win32 file API; tests use an in-memory disk that can fail, or lose
// power, at any step. The hosts section and the settings file both go through it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kalvane {

enum class FileStatus { kOk, kNotFound, kFailed };

// An operation's status with the platform's error code behind a failure (GetLastError on
// Windows); the code is 0 when the operation succeeded or none is known.
struct FileResult {
  FileStatus status = FileStatus::kOk;
  std::uint32_t system_error = 0;

  bool ok() const { return status == FileStatus::kOk; }
  friend bool operator==(const FileResult& result, FileStatus status) {
    return result.status == status;
  }
};

enum class SyncMode { kNone, kFlush };

// What a replace-with-backup left behind.
enum class ReplaceResult {
  kReplaced,     // the target holds the replacement; its old file is under the backup name
  kNotReplaced,  // both files kept their names (the target may still be checked)
  kReplacedMovedToBackup,  // the old target is under the backup name, the replacement kept its
                           // name: the target name is empty until one of them is moved there
};

struct ReplaceOutcome {
  ReplaceResult result = ReplaceResult::kReplaced;
  std::uint32_t system_error = 0;  // the platform's code when the target was not replaced

  friend bool operator==(const ReplaceOutcome& outcome, ReplaceResult result) {
    return outcome.result == result;
  }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The whole file into `content`.
  virtual FileResult ReadWhole(const std::filesystem::path& path, std::string& content) = 0;
  // Creates or empties `path` and writes `content`; with kFlush the bytes are on the disk when
  // this returns kOk. An existing `path` is written only when it is one plain file on the disk,
  // reached by that very name: a hard link, a symbolic link, a junction or a device there is
  // refused (kFailed) and neither it nor what it leads to is changed.
  virtual FileResult WriteWhole(const std::filesystem::path& path, std::string_view content,
                                SyncMode sync) = 0;
  // Writes `content` into a new file named `stem` followed by an unpredictable suffix, made only
  // where no file of that name exists yet: nothing planted beforehand is ever opened. Its name
  // goes into `created` as soon as the file exists, so that a failed write can be removed.
  virtual FileResult WriteNewFile(const std::filesystem::path& stem, std::string_view content,
                                  SyncMode sync, std::filesystem::path& created) = 0;
  // Removes what WriteNewFile left under `stem` in a run that ended before cleaning up. A link
  // found there is removed itself; what it leads to is not touched.
  virtual void RemoveNewFiles(const std::filesystem::path& stem) = 0;
  // Puts `replacement` in place of `target`, keeping the target's security and attributes, and
  // leaves the target's old file under `backup`. All three lie in one folder.
  virtual ReplaceOutcome ReplaceKeepingBackup(const std::filesystem::path& target,
                                              const std::filesystem::path& replacement,
                                              const std::filesystem::path& backup) = 0;
  // Renames `from` to `to`, replacing `to` if it exists, written through to the disk.
  virtual bool MoveReplacing(const std::filesystem::path& from,
                             const std::filesystem::path& to) = 0;
  virtual bool Remove(const std::filesystem::path& path) = 0;
  // False only when `path` surely names no file; a failed look-up counts as present.
  virtual bool Exists(const std::filesystem::path& path) = 0;
  // True when a file system that keeps its files private finds that `path` lets others in, so
  // that it is to be written again; a file system that keeps nothing private says false.
  virtual bool OpenToOthers(const std::filesystem::path& /*path*/) { return false; }
};

// Writes `content`, flushed, into a fresh file named `stem` and a random suffix, whose name goes
// into `temporary`; what an interrupted run left under `stem` goes first. A temporary that could
// not be written whole is removed again and `temporary` left empty.
inline FileResult WriteFreshTemporary(FileSystem& files, const std::filesystem::path& stem,
                                      std::string_view content, std::filesystem::path& temporary) {
  files.RemoveNewFiles(stem);
  temporary.clear();
  const FileResult written = files.WriteNewFile(stem, content, SyncMode::kFlush, temporary);
  if (!written.ok() && !temporary.empty()) {
    files.Remove(temporary);
    temporary.clear();
  }
  return written;
}

// Puts `content` in place of `target` by renaming a fresh temporary (see WriteFreshTemporary) over
// it, so that `target` holds its old content or the new, never a part. False when that could not
// be done: `target` is then as it was and no temporary is left.
inline bool ReplaceThroughFreshTemporary(FileSystem& files, const std::filesystem::path& target,
                                         const std::filesystem::path& stem,
                                         std::string_view content) {
  std::filesystem::path temporary;
  if (!WriteFreshTemporary(files, stem, content, temporary).ok()) return false;
  if (files.MoveReplacing(temporary, target)) return true;
  files.Remove(temporary);
  return false;
}

}  // namespace kalvane
