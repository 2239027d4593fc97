#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/file_path.h"
#include "base/file_system.h"

namespace kalvane::testing {

struct MemoryFile {
  std::string content;
  bool durable = true;  // on the disk; content that was never flushed is lost with the power
  bool read_only = false;
  bool locked = false;          // held open by another program without any sharing
  bool open_to_others = false;  // its security lets others in (files written here never do)
  bool link = false;            // a link to another file: ReadPlainFile refuses it
};

// A disk of named files, shared by the file systems a test creates in turn.
struct MemoryDisk {
  std::map<FilePath, MemoryFile> files;
  std::size_t capacity = std::numeric_limits<std::size_t>::max();
  std::set<FilePath> missing_folders;  // writes below these fail

  std::optional<std::string> Content(const FilePath& path) const {
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second.content;
  }

  std::size_t Used() const {
    std::size_t used = 0;
    for (const auto& [path, file] : files) used += file.content.size();
    return used;
  }

  // What the disk holds after the power came back: bytes that were never flushed are gone, and a
  // file that held only such bytes is cut short.
  void LosePower() {
    for (auto& [path, file] : files) {
      if (!file.durable) file.content.resize(file.content.size() / 3);
      file.durable = true;
    }
  }
};

enum class FaultKind { kNone, kFail, kPowerLoss };

// The error codes the fake gives its failures, as Windows would (ERROR_ACCESS_DENIED and so on).
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kDiskFull = 112;
inline constexpr std::uint32_t kDeviceError = 1117;               // an injected fault
inline constexpr std::uint32_t kUnableToMoveReplacement2 = 1177;  // a replace that moved half

// Which step (counted from 0 over every read, write, flush, replace, move and remove) goes wrong,
// and how. A failed replace fails the way `replace_failure` says: kFailed leaves both files under
// their names, kPartial moves the target to the backup name and leaves the replacement where it is
// (and says so, unless `partial_reported_as_failed`: a replace that claims to have left both
// names).
struct Fault {
  FaultKind kind = FaultKind::kNone;
  int step = -1;
  StatusKind replace_failure = StatusKind::kFailed;
  bool partial_reported_as_failed = false;
  bool persistent = false;  // every step from `step` on fails
};

// An in-memory file layer that behaves like the Windows one in what matters here: read-only and
// locked files refuse changes, a full disk takes part of a write, unflushed data is lost with the
// power, and a replace keeps the replaced file under the backup name.
class MemoryFileSystem final : public FileSystem {
 public:
  explicit MemoryFileSystem(MemoryDisk& disk, Fault fault = {}) : disk_(disk), fault_(fault) {}

  bool fault_hit() const { return fault_hit_; }
  int steps() const { return steps_; }
  int writes_to(const FilePath& path) const {
    const auto it = writes_.find(path);
    return it == writes_.end() ? 0 : it->second;
  }

  Result<std::string> ReadWhole(const FilePath& path) override {
    if (Step() != StepResult::kGo) return Failed(kDeviceError);
    const auto* file = Find(path);
    if (file == nullptr) return Status::Failure(StatusKind::kNotFound, kFileNotFound);
    if (file->locked) return Failed(kSharingViolation);
    return file->content;
  }

  Result<std::string> ReadPlainFile(const FilePath& path) override {
    if (const auto* file = Find(path); file != nullptr && file->link) return Failed(kAccessDenied);
    return ReadWhole(path);
  }

  // Like Windows, rewriting an existing file keeps its security: a file open to others stays so.
  Status WriteWhole(const FilePath& path, std::string_view content, SyncMode sync) override {
    const auto step = Step();
    if (step == StepResult::kOff) return Failed(kDeviceError);
    if (disk_.missing_folders.contains(path.parent_path())) return Failed(kPathNotFound);
    if (const auto* existing = Find(path); existing != nullptr && existing->read_only) {
      return Failed(kAccessDenied);
    }
    if (const auto* existing = Find(path); existing != nullptr && existing->locked) {
      return Failed(kSharingViolation);
    }
    ++writes_[path];
    auto& file = disk_.files[path];
    const bool open_to_others = file.open_to_others;
    file = MemoryFile{};
    file.open_to_others = open_to_others;
    file.durable = false;
    const auto room = disk_.capacity - std::min(disk_.capacity, disk_.Used());
    const auto written = step == StepResult::kGo ? content.size() : content.size() / 2;
    file.content = content.substr(0, std::min(room, written));
    if (step != StepResult::kGo) return Failed(kDeviceError);
    if (room < content.size()) return Failed(kDiskFull);
    if (sync == SyncMode::kNone) return OkStatus();
    if (Step() != StepResult::kGo) return Failed(kDeviceError);
    file.durable = true;
    return OkStatus();
  }

  // Names from a counter: predictable, but a test plants files only where it means to.
  Status WriteNewFile(const FilePath& stem, std::string_view content, SyncMode sync,
                      FilePath& created) override {
    FilePath name;
    do {
      name = stem;
      name += L"-" + std::to_wstring(++new_files_);
    } while (Find(name) != nullptr);
    created = name;
    return WriteWhole(name, content, sync);
  }

  void RemoveNewFiles(const FilePath& stem) override {
    const std::wstring prefix = stem.native() + L"-";
    std::vector<FilePath> left;
    for (const auto& [path, file] : disk_.files) {
      if (path.native().starts_with(prefix)) left.push_back(path);
    }
    for (const auto& path : left) (void)Remove(path);
  }

  Status ReplaceKeepingBackup(const FilePath& target, const FilePath& replacement,
                              const FilePath& backup) override {
    const auto step = Step();
    if (step == StepResult::kOff) return Failed(kDeviceError);
    ++writes_[target];
    const auto* old_file = Find(target);
    const auto* new_file = Find(replacement);
    if (old_file == nullptr || new_file == nullptr) return Failed(kFileNotFound);
    if (old_file->read_only) return Failed(kAccessDenied);
    if (old_file->locked || new_file->locked) return Failed(kSharingViolation);
    // Power lost during the replace: it happened whole or not at all; here not at all.
    if (step == StepResult::kFail &&
        (fault_.kind == FaultKind::kPowerLoss || fault_.replace_failure != StatusKind::kPartial)) {
      return Failed(kDeviceError);
    }
    auto kept = std::move(disk_.files.at(target));
    disk_.files.erase(target);
    if (step == StepResult::kFail) {
      disk_.files[backup] = std::move(kept);
      if (fault_.partial_reported_as_failed) return Failed(kDeviceError);
      return Status::Failure(StatusKind::kPartial, kUnableToMoveReplacement2);
    }
    auto moved = std::move(disk_.files.at(replacement));
    disk_.files.erase(replacement);
    disk_.files[backup] = std::move(kept);
    disk_.files[target] = std::move(moved);
    return OkStatus();
  }

  Status MoveReplacing(const FilePath& from, const FilePath& to) override {
    if (Step() != StepResult::kGo) return Failed(kDeviceError);
    ++writes_[to];
    const auto* source = Find(from);
    const auto* existing = Find(to);
    if (source == nullptr) return Status::Failure(StatusKind::kNotFound, kFileNotFound);
    if (source->locked || (existing != nullptr && existing->locked))
      return Failed(kSharingViolation);
    if (existing != nullptr && existing->read_only) return Failed(kAccessDenied);
    auto moved = std::move(disk_.files.at(from));
    disk_.files.erase(from);
    disk_.files[to] = std::move(moved);
    return OkStatus();
  }

  Status Remove(const FilePath& path) override {
    if (Step() != StepResult::kGo) return Failed(kDeviceError);
    const auto* file = Find(path);
    if (file == nullptr) return Status::Failure(StatusKind::kNotFound, kFileNotFound);
    if (file->locked) return Failed(kSharingViolation);
    disk_.files.erase(path);
    return OkStatus();
  }

  bool Exists(const FilePath& path) override { return dead_ || Find(path) != nullptr; }

  bool OpenToOthers(const FilePath& path) override {
    const auto* file = Find(path);
    return file != nullptr && file->open_to_others;
  }

 private:
  static Status Failed(std::uint32_t error) { return Status::Failure(StatusKind::kFailed, error); }

  // kGo: the step works. kFail: it fails; when the power goes at it, it may have done part of
  // its work. kOff: the power is gone; nothing changes any more.
  enum class StepResult { kGo, kFail, kOff };

  StepResult Step() {
    const int step = steps_++;
    if (dead_) return StepResult::kOff;
    const bool hit = fault_.kind != FaultKind::kNone &&
                     (step == fault_.step || (fault_.persistent && step > fault_.step));
    if (!hit) return StepResult::kGo;
    fault_hit_ = true;
    if (fault_.kind == FaultKind::kPowerLoss) dead_ = true;
    return StepResult::kFail;
  }

  const MemoryFile* Find(const FilePath& path) const {
    const auto it = disk_.files.find(path);
    return it == disk_.files.end() ? nullptr : &it->second;
  }

  MemoryDisk& disk_;
  Fault fault_;
  int steps_ = 0;
  bool fault_hit_ = false;
  bool dead_ = false;
  int new_files_ = 0;
  std::map<FilePath, int> writes_;
};

}  // namespace kalvane::testing
