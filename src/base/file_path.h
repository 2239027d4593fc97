#pragma once

// A file's path as Windows spells it, in wide characters: a drive or a \\server share, a
// backslash or a slash between the names, a backslash put between a folder and a name joined to
// it. The program only joins names to folders and takes a path apart into its folder and its last
// name, so this is all it needs; std::filesystem::path would bring the C++ library's locale
// machinery with it, several times the size of the rest of the program. The members are those
// of std::filesystem::path that the program uses, and mean the same for Windows paths.

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace kalvane {

class FilePath {
 public:
  FilePath() = default;
  // Implicit, as a path is its text.
  FilePath(std::wstring text) : text_(std::move(text)) {}
  FilePath(const wchar_t* text) : text_(text) {}

  const std::wstring& native() const { return text_; }
  const std::wstring& wstring() const { return text_; }
  const wchar_t* c_str() const { return text_.c_str(); }
  bool empty() const { return text_.empty(); }
  void clear() { text_.clear(); }

  // The folder the last name lies in: "C:\a" for "C:\a\b" and for "C:\a\\b", "C:\" for "C:\a",
  // empty for a bare name. A root stays as it is.
  FilePath parent_path() const {
    const std::size_t name = NameStart();
    std::size_t end = name;
    while (end > RootEnd() && IsSeparator(text_[end - 1])) --end;
    return FilePath(text_.substr(0, end));
  }

  // The last name: empty when the path ends in a separator or is a root.
  FilePath filename() const { return FilePath(text_.substr(NameStart())); }

  // Appends `name` as is (a suffix to the last name).
  FilePath& operator+=(std::wstring_view name) {
    text_.append(name);
    return *this;
  }

  // `name` inside this folder, one backslash between them.
  FilePath& operator/=(std::wstring_view name) {
    if (!text_.empty() && !IsSeparator(text_.back()) && text_.size() > RootNameEnd()) {
      text_ += L'\\';
    }
    text_.append(name);
    return *this;
  }
  friend FilePath operator/(FilePath folder, std::wstring_view name) {
    folder /= name;
    return folder;
  }

  friend bool operator==(const FilePath&, const FilePath&) = default;
  friend std::strong_ordering operator<=>(const FilePath&, const FilePath&) = default;

 private:
  static bool IsSeparator(wchar_t ch) { return ch == L'\\' || ch == L'/'; }

  // "C:" or "\\server"; nothing for any other path.
  std::size_t RootNameEnd() const {
    if (text_.size() >= 2 && text_[1] == L':') return 2;
    if (text_.size() > 2 && IsSeparator(text_[0]) && IsSeparator(text_[1]) &&
        !IsSeparator(text_[2])) {
      const std::size_t end = text_.find_first_of(L"\\/", 2);
      return end == std::wstring::npos ? text_.size() : end;
    }
    return 0;
  }

  // The root name and the separators after it.
  std::size_t RootEnd() const {
    std::size_t end = RootNameEnd();
    while (end < text_.size() && IsSeparator(text_[end])) ++end;
    return end;
  }

  std::size_t NameStart() const {
    const std::size_t root = RootEnd();
    const std::size_t last = text_.find_last_of(L"\\/");
    return last == std::wstring::npos || last < root ? root : last + 1;
  }

  std::wstring text_;
};

}  // namespace kalvane
