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
  // A fresh file under an unpredictable name: the program's folder may be writable by anyone,
  // and a link planted under a name known in advance would turn the write onto another file.
  files_.RemoveNewFiles(TemporaryStem());
  std::filesystem::path temporary;
  if (files_.WriteNewFile(TemporaryStem(), content, SyncMode::kFlush, temporary) !=
          FileStatus::kOk ||
      !files_.MoveReplacing(temporary, path_)) {
    if (!temporary.empty()) files_.Remove(temporary);
    return false;
  }
  return true;
}

std::filesystem::path SettingsFile::TemporaryStem() const {
  std::filesystem::path stem = path_;
  stem += L".new";  // wide: joins a Windows path without the locale's conversion
  return stem;
}

}  // namespace kalvane
