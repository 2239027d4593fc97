// Whether a file opened by name is that name itself: the checks that keep the file layer from
// writing through a link, a device or a second hard link planted where it writes.
#include "platform/file_identity-win32.h"

#include <optional>
#include <string>
#include <utility>

#include "platform/path_query-win32.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

constexpr DWORD kFinalPathFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;

std::wstring WithoutLongPathPrefix(std::wstring path) {
  constexpr std::wstring_view kUnc = L"\\\\?\\UNC\\";
  constexpr std::wstring_view kLong = L"\\\\?\\";
  if (path.starts_with(kUnc)) return L"\\\\" + path.substr(kUnc.size());
  if (path.starts_with(kLong)) return path.substr(kLong.size());
  return path;
}

// The final path of an open file or folder, without the "\\?\" prefix.
std::optional<std::wstring> FinalPath(HANDLE handle) {
  Result<std::wstring> path = QueryPath([handle](wchar_t* buffer, DWORD size) {
    return GetFinalPathNameByHandleW(handle, buffer, size, kFinalPathFlags);
  });
  if (!path) return std::nullopt;
  return WithoutLongPathPrefix(std::move(path).value());
}

// The final path of the folder `path` lies in, followed by the name `path` gives: the path a
// file opened under `path` has when no link stands in its place. Links in the folder's own path
// (a redirected profile folder, a mapped drive) are followed, as for any folder.
std::optional<std::wstring> ExpectedFinalPath(const FilePath& path) {
  // GetFullPathNameW rather than std::filesystem::absolute, which would bring the C++ library's
  // whole locale machinery into the program for one call.
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::nullopt;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return std::nullopt;
  full.resize(length);
  const FilePath absolute(std::move(full));
  UniqueFile folder(CreateFileW(absolute.parent_path().c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder) return std::nullopt;
  std::optional<std::wstring> folder_path = FinalPath(folder.get());
  if (!folder_path) return std::nullopt;
  if (!folder_path->ends_with(L'\\')) *folder_path += L'\\';
  return *folder_path + absolute.filename().wstring();
}

}  // namespace

bool SamePath(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool IsOpenedByThatName(HANDLE file, const FilePath& path) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  const std::optional<std::wstring> final_path = FinalPath(file);
  const std::optional<std::wstring> expected = ExpectedFinalPath(path);
  return final_path && expected && SamePath(*final_path, *expected);
}

bool IsPlainFileAt(HANDLE file, const FilePath& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info) || info.nNumberOfLinks != 1) return false;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return false;
  }
  return IsOpenedByThatName(file, path);
}

}  // namespace kalvane
