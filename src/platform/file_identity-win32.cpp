// Whether a file opened by name is that name itself: the checks that keep the file layer from
// writing through a link, a device or a second hard link planted where it writes.
#include "platform/file_identity-win32.h"

#include <string>
#include <utility>

#include "platform/last_error-win32.h"
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
Result<std::wstring> FinalPath(HANDLE handle) {
  Result<std::wstring> path = QueryPath([handle](wchar_t* buffer, DWORD size) {
    return GetFinalPathNameByHandleW(handle, buffer, size, kFinalPathFlags);
  });
  if (!path) return path.status();
  return WithoutLongPathPrefix(std::move(path).value());
}

// The final path of the folder `path` lies in, followed by the name `path` gives: the path a
// file opened under `path` has when no link stands in its place. Links in the folder's own path
// (a redirected profile folder, a mapped drive) are followed, as for any folder.
Result<std::wstring> ExpectedFinalPath(const FilePath& path) {
  // GetFullPathNameW rather than std::filesystem::absolute, which would bring the C++ library's
  // whole locale machinery into the program for one call.
  Result<std::wstring> full = QueryPath([&path](wchar_t* buffer, DWORD size) {
    return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
  if (!full) return full.status();
  const FilePath absolute(*full);
  UniqueFile folder(CreateFileW(absolute.parent_path().c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder) return LastErrorStatus();
  Result<std::wstring> folder_path = FinalPath(folder.get());
  if (!folder_path) return folder_path.status();
  std::wstring expected = std::move(folder_path).value();
  if (!expected.ends_with(L'\\')) expected += L'\\';
  return expected + absolute.filename().wstring();
}

// What a file that is not what its name must stand for gets: the system's own word for a refusal.
Status NotThatFile() { return Status::Failure(StatusKind::kFailed, ERROR_ACCESS_DENIED); }

}  // namespace

bool SamePath(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

Status CheckOpenedByThatName(HANDLE file, const FilePath& path) {
  if (GetFileType(file) != FILE_TYPE_DISK) return NotThatFile();
  const Result<std::wstring> final_path = FinalPath(file);
  if (!final_path) return final_path.status();
  const Result<std::wstring> expected = ExpectedFinalPath(path);
  if (!expected) return expected.status();
  return SamePath(*final_path, *expected) ? OkStatus() : NotThatFile();
}

Status CheckPlainFileAt(HANDLE file, const FilePath& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return LastErrorStatus();
  constexpr DWORD kNotPlain = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  if (info.nNumberOfLinks != 1 || (info.dwFileAttributes & kNotPlain) != 0) return NotThatFile();
  return CheckOpenedByThatName(file, path);
}

}  // namespace kalvane
