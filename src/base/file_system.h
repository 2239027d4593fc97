#pragma once

// The few whole-file operations the program needs, behind one interface: the Windows build
// implements them with the Win32 file API; tests use an in-memory disk that can fail, or lose
// power, at any step. The hosts section and the settings file both go through it.

#include <filesystem>
#include <string>
#include <string_view>

namespace kalvane {

enum class FileStatus { kOk, kNotFound, kFailed };

enum class SyncMode { kNone, kFlush };

// What a replace-with-backup left behind.
enum class ReplaceResult {
  kReplaced,     // the target holds the replacement; its old file is under the backup name
  kNotReplaced,  // both files kept their names (the target may still be checked)
  kReplacedMovedToBackup,  // the old target is under the backup name, the replacement kept its
                           // name: the target name is empty until one of them is moved there
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The whole file into `content`.
  virtual FileStatus ReadWhole(const std::filesystem::path& path, std::string& content) = 0;
  // Creates or empties `path` and writes `content`; with kFlush the bytes are on the disk when
  // this returns kOk.
  virtual FileStatus WriteWhole(const std::filesystem::path& path, std::string_view content,
                                SyncMode sync) = 0;
  // Puts `replacement` in place of `target`, keeping the target's security and attributes, and
  // leaves the target's old file under `backup`. All three lie in one folder.
  virtual ReplaceResult ReplaceKeepingBackup(const std::filesystem::path& target,
                                             const std::filesystem::path& replacement,
                                             const std::filesystem::path& backup) = 0;
  // Renames `from` to `to`, replacing `to` if it exists, written through to the disk.
  virtual bool MoveReplacing(const std::filesystem::path& from,
                             const std::filesystem::path& to) = 0;
  virtual bool Remove(const std::filesystem::path& path) = 0;
  // False only when `path` surely names no file; a failed look-up counts as present.
  virtual bool Exists(const std::filesystem::path& path) = 0;
};

}  // namespace kalvane
