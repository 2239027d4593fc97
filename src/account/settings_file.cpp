#include "account/settings_file.h"

#include <utility>

namespace kalvane {

Result<std::string> SettingsFile::Read() {
  if (path_.empty()) return Status::Failure(StatusKind::kNotFound);
  Result<std::string> content = files_.ReadWhole(path_);
  if (!content) return content;
  // The account is for administrators only: a file others may read (saved by an older version,
  // or copied in) is written again, the same bytes in a new private file.
  // A failed rewrite leaves the file as it was; the next load tries again.
  if (files_.OpenToOthers(path_)) (void)Write(*content);
  return content;
}

Status SettingsFile::Write(std::string_view content) {
  if (path_.empty()) return Status::Failure(StatusKind::kNotFound);
  // A fresh file under an unpredictable name: the program's folder may be writable by anyone,
  // and a link planted under a name known in advance would turn the write onto another file.
  return ReplaceThroughFreshTemporary(files_, path_, TemporaryStem(), content);
}

FilePath SettingsFile::TemporaryStem() const {
  FilePath stem = path_;
  stem += L".new";
  return stem;
}

}  // namespace kalvane
