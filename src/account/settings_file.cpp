#include "account/settings_file.h"

namespace kalvane {

std::optional<std::string> SettingsFile::Read() {
  if (path_.empty()) return std::nullopt;
  std::string content;
  if (!files_.ReadWhole(path_, content).ok()) return std::nullopt;
  // The account is for administrators only: a file others may read (saved by an older version,
  // or copied in) is written again, the same bytes in a new private file.
  if (files_.OpenToOthers(path_)) Write(content);
  return content;
}

bool SettingsFile::Write(std::string_view content) {
  if (path_.empty()) return false;
  // A fresh file under an unpredictable name: the program's folder may be writable by anyone,
  // and a link planted under a name known in advance would turn the write onto another file.
  return ReplaceThroughFreshTemporary(files_, path_, TemporaryStem(), content);
}

std::filesystem::path SettingsFile::TemporaryStem() const {
  std::filesystem::path stem = path_;
  stem += L".new";  // wide: joins a Windows path without the locale's conversion
  return stem;
}

}  // namespace kalvane
