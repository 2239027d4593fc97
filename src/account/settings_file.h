#pragma once

#include <string>
#include <string_view>

#include "base/file_path.h"
#include "base/file_system.h"

namespace kalvane {

// The account file's name, in the program's folder.
inline constexpr wchar_t kSettingsFileName[] = L"abc.txt";

// "abc.txt" beside the program. Saving goes through a flushed temporary file, "abc.txt.new-" and a
// random suffix, that is then renamed over the old one, so a failure while saving never loses the
// stored account, and no file planted beside it is ever written through.
class SettingsFile {
 public:
  SettingsFile(FileSystem& files, FilePath path) : files_(files), path_(std::move(path)) {}

  // The file's bytes, or why they could not be read: kNotFound when there is no file (the program
  // then starts with account updating off). A file that others may open is written again as a
  // private one.
  Result<std::string> Read();
  // On a failure the old file is as it was.
  Status Write(std::string_view content);

 private:
  FilePath TemporaryStem() const;

  FileSystem& files_;
  FilePath path_;
};

}  // namespace kalvane
