#include "platform/file_system-win32.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

// Larger than any hosts file a resolver would read; guards the whole-file read.
constexpr std::uint64_t kMaxFileSize = 512ull * 1024 * 1024;
constexpr DWORD kChunk = 1024 * 1024;

bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

FileStatus ReadAll(HANDLE file, std::string& content) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || static_cast<std::uint64_t>(size.QuadPart) > kMaxFileSize) {
    return FileStatus::kFailed;
  }
  content.clear();
  content.reserve(static_cast<std::size_t>(size.QuadPart));
  const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, chunk.get(), kChunk, &read, nullptr)) return FileStatus::kFailed;
    if (read == 0) return FileStatus::kOk;
    if (content.size() + read > kMaxFileSize) return FileStatus::kFailed;
    content.append(chunk.get(), read);
  }
}

bool WriteAll(HANDLE file, std::string_view content) {
  while (!content.empty()) {
    const auto size = static_cast<DWORD>(std::min<std::size_t>(content.size(), kChunk));
    DWORD written = 0;
    if (!::WriteFile(file, content.data(), size, &written, nullptr) || written == 0) return false;
    content.remove_prefix(written);
  }
  return true;
}

// ReplaceFileW carries the replaced file's attributes over on Windows; Wine drops them. Put back
// the ones that matter for the hosts file where they went missing.
void KeepAttributes(const std::filesystem::path& path, DWORD old_attributes) {
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  const DWORD now = GetFileAttributesW(path.c_str());
  if (old_attributes == INVALID_FILE_ATTRIBUTES || now == INVALID_FILE_ATTRIBUTES) return;
  const DWORD wanted = (now & ~kKept) | (old_attributes & kKept);
  if (wanted != now) SetFileAttributesW(path.c_str(), wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted);
}

class Win32FileSystem final : public FileSystem {
 public:
  FileStatus ReadWhole(const std::filesystem::path& path, std::string& content) override {
    // Share everything: reading must not get in the way of the resolver or an editor.
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return IsNotFound(GetLastError()) ? FileStatus::kNotFound : FileStatus::kFailed;
    return ReadAll(file.get(), content);
  }

  FileStatus WriteWhole(const std::filesystem::path& path, std::string_view content,
                        SyncMode sync) override {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return IsNotFound(GetLastError()) ? FileStatus::kNotFound : FileStatus::kFailed;
    if (!WriteAll(file.get(), content)) return FileStatus::kFailed;
    if (sync == SyncMode::kFlush && !FlushFileBuffers(file.get())) return FileStatus::kFailed;
    // Closed here, not by the destructor: a write may report its failure only at the close.
    return CloseHandle(file.release()) ? FileStatus::kOk : FileStatus::kFailed;
  }

  ReplaceResult ReplaceKeepingBackup(const std::filesystem::path& target,
                                     const std::filesystem::path& replacement,
                                     const std::filesystem::path& backup) override {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    // No merge-error flags: a replacement that cannot take on the target's security descriptor
    // is not swapped in.
    if (ReplaceFileW(target.c_str(), replacement.c_str(), backup.c_str(), 0, nullptr, nullptr)) {
      KeepAttributes(target, attributes);
      return ReplaceResult::kReplaced;
    }
    // ERROR_UNABLE_TO_REMOVE_REPLACED, ERROR_UNABLE_TO_MOVE_REPLACEMENT (with a backup name) and
    // any other error leave both files under their own names; only this one does not.
    if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
      return ReplaceResult::kReplacedMovedToBackup;
    }
    return ReplaceResult::kNotReplaced;
  }

  bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }

  bool Remove(const std::filesystem::path& path) override {
    if (DeleteFileW(path.c_str())) return true;
    // A failed replace may have given our temporary file the hosts file's read-only attribute.
    if (GetLastError() != ERROR_ACCESS_DENIED) return false;
    return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) && DeleteFileW(path.c_str());
  }

  bool Exists(const std::filesystem::path& path) override {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
           !IsNotFound(GetLastError());
  }
};

}  // namespace

std::optional<std::wstring> SystemDirectory() {
  constexpr UINT kSize = 255;
  wchar_t buffer[kSize];
  const UINT length = GetSystemDirectoryW(buffer, kSize);
  // 0 is a failure; a length of kSize or more is the size a larger buffer would need.
  if (length == 0 || length >= kSize) return std::nullopt;
  return std::wstring(buffer, length);
}

std::optional<std::filesystem::path> ProgramFolder() {
  constexpr std::size_t kLongestPath = 32768;
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) {
      buffer.resize(length);
      return std::filesystem::path(buffer).parent_path();
    }
    if (buffer.size() >= kLongestPath) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
}

void FlushResolverCache() {
  // From the system folder only: this program runs elevated, and its own folder may be writable.
  UniqueModule dnsapi(LoadLibraryExW(L"dnsapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!dnsapi) return;
  const FARPROC proc = GetProcAddress(dnsapi.get(), "DnsFlushResolverCache");
  if (proc == nullptr) return;
  using FlushFunction = BOOL(WINAPI*)();
  const auto flush = reinterpret_cast<FlushFunction>(reinterpret_cast<void (*)()>(proc));
  flush();
}

std::unique_ptr<FileSystem> MakeWin32FileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace kalvane
