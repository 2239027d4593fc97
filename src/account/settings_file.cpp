#include "account/settings_file.h"

namespace kalvane {

std::optional<std::string> SettingsFile::Read() {
  if (path_.empty()) return std::nullopt;
  std::string content;
  if (files_.ReadWhole(path_, content) != FileStatus::kOk) return std::nullopt;
  return content;
}

bool SettingsFile::Write(std::string_view content) {
  if (path_.empty()) return false;
  const std::filesystem::path temporary = TemporaryPath();
  if (files_.WriteWhole(temporary, content, SyncMode::kFlush) != FileStatus::kOk ||
      !files_.MoveReplacing(temporary, path_)) {
    files_.Remove(temporary);
    return false;
  }
  return true;
}

std::filesystem::path SettingsFile::TemporaryPath() const {
  std::filesystem::path temporary = path_;
  temporary += ".new";
  return temporary;
}

}  // namespace kalvane
