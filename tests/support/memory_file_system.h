#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/file_system.h"

namespace kalvane::testing {

struct MemoryFile {
  std::string content;
  bool durable = true;  // on the disk; content that was never flushed is lost with the power
  bool read_only = false;
  bool locked = false;          // held open by another program without any sharing
  bool open_to_others = false;  // its security lets others in (files written here never do)
};

// A disk of named files, shared by the file systems a test creates in turn.
struct MemoryDisk {
  std::map<std::filesystem::path, MemoryFile> files;
  std::size_t capacity = std::numeric_limits<std::size_t>::max();
  std::set<std::filesystem::path> missing_folders;  // writes below these fail

  std::optional<std::string> Content(const std::filesystem::path& path) const {
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
inline constexpr std::uint32_t kDeviceError = 1117;  // an injected fault

// Which step (counted from 0 over every read, write, flush, replace, move and remove) goes wrong,
// and how. A failed replace fails the way `replace_failure` says.
struct Fault {
  FaultKind kind = FaultKind::kNone;
  int step = -1;
  ReplaceResult replace_failure = ReplaceResult::kNotReplaced;
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
  int writes_to(const std::filesystem::path& path) const {
    const auto it = writes_.find(path);
    return it == writes_.end() ? 0 : it->second;
  }

  FileResult ReadWhole(const std::filesystem::path& path, std::string& content) override {
    if (Step() != StepResult::kGo) return Failed(kDeviceError);
    const auto* file = Find(path);
    if (file == nullptr) return {FileStatus::kNotFound, kFileNotFound};
    if (file->locked) return Failed(kSharingViolation);
    content = file->content;
    return {};
  }

  FileResult WriteWhole(const std::filesystem::path& path, std::string_view content,
                        SyncMode sync) override {
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
    file = MemoryFile{};
    file.durable = false;
    const auto room = disk_.capacity - std::min(disk_.capacity, disk_.Used());
    const auto written = step == StepResult::kGo ? content.size() : content.size() / 2;
    file.content = content.substr(0, std::min(room, written));
    if (step != StepResult::kGo) return Failed(kDeviceError);
    if (room < content.size()) return Failed(kDiskFull);
    if (sync == SyncMode::kNone) return {};
    if (Step() != StepResult::kGo) return Failed(kDeviceError);
    file.durable = true;
    return {};
  }

  // Names from a counter: predictable, but a test plants files only where it means to.
  FileResult WriteNewFile(const std::filesystem::path& stem, std::string_view content,
                          SyncMode sync, std::filesystem::path& created) override {
    std::filesystem::path name;
    do {
      name = stem;
      name += "-" + std::to_string(++new_files_);
    } while (Find(name) != nullptr);
    created = name;
    return WriteWhole(name, content, sync);
  }

  void RemoveNewFiles(const std::filesystem::path& stem) override {
    const std::string prefix = stem.string() + "-";
    std::vector<std::filesystem::path> left;
    for (const auto& [path, file] : disk_.files) {
      if (path.string().starts_with(prefix)) left.push_back(path);
    }
    for (const auto& path : left) Remove(path);
  }

  ReplaceOutcome ReplaceKeepingBackup(const std::filesystem::path& target,
                                      const std::filesystem::path& replacement,
                                      const std::filesystem::path& backup) override {
    const auto step = Step();
    if (step == StepResult::kOff) return {ReplaceResult::kNotReplaced, kDeviceError};
    ++writes_[target];
    const auto* old_file = Find(target);
    const auto* new_file = Find(replacement);
    if (old_file == nullptr || new_file == nullptr)
      return {ReplaceResult::kNotReplaced, kFileNotFound};
    if (old_file->read_only) return {ReplaceResult::kNotReplaced, kAccessDenied};
    if (old_file->locked || new_file->locked) {
      return {ReplaceResult::kNotReplaced, kSharingViolation};
    }
    // Power lost during the replace: it happened whole or not at all; here not at all.
    if (step == StepResult::kFail && (fault_.kind == FaultKind::kPowerLoss ||
                                      fault_.replace_failure == ReplaceResult::kNotReplaced)) {
      return {ReplaceResult::kNotReplaced, kDeviceError};
    }
    auto kept = std::move(disk_.files.at(target));
    disk_.files.erase(target);
    if (step == StepResult::kFail) {
      disk_.files[backup] = std::move(kept);
      return {ReplaceResult::kReplacedMovedToBackup, kDeviceError};
    }
    auto moved = std::move(disk_.files.at(replacement));
    disk_.files.erase(replacement);
    disk_.files[backup] = std::move(kept);
    disk_.files[target] = std::move(moved);
    return {};
  }

  bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) override {
    if (Step() != StepResult::kGo) return false;
    ++writes_[to];
    const auto* source = Find(from);
    const auto* existing = Find(to);
    if (source == nullptr || source->locked ||
        (existing != nullptr && (existing->read_only || existing->locked))) {
      return false;
    }
    auto moved = std::move(disk_.files.at(from));
    disk_.files.erase(from);
    disk_.files[to] = std::move(moved);
    return true;
  }

  bool Remove(const std::filesystem::path& path) override {
    if (Step() != StepResult::kGo) return false;
    const auto* file = Find(path);
    if (file == nullptr || file->locked) return false;
    disk_.files.erase(path);
    return true;
  }

  bool Exists(const std::filesystem::path& path) override { return dead_ || Find(path) != nullptr; }

  bool OpenToOthers(const std::filesystem::path& path) override {
    const auto* file = Find(path);
    return file != nullptr && file->open_to_others;
  }

 private:
  static FileResult Failed(std::uint32_t error) { return {FileStatus::kFailed, error}; }

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

  const MemoryFile* Find(const std::filesystem::path& path) const {
    const auto it = disk_.files.find(path);
    return it == disk_.files.end() ? nullptr : &it->second;
  }

  MemoryDisk& disk_;
  Fault fault_;
  int steps_ = 0;
  bool fault_hit_ = false;
  bool dead_ = false;
  int new_files_ = 0;
  std::map<std::filesystem::path, int> writes_;
};

}  // namespace kalvane::testing
