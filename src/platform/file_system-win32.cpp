#include "platform/file_system-win32.h"

#include <windows.h>

#include "base/file_path.h"
// After windows.h: RtlGenRandom (SystemFunction036 in advapi32).
#include <ntsecapi.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "base/boundary.h"
#include "base/text.h"
#include "platform/file_identity-win32.h"
#include "platform/last_error-win32.h"
#include "platform/private_security-win32.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

// Larger than any hosts file a resolver would read; guards the whole-file read.
constexpr std::uint64_t kMaxFileSize = 512ull * 1024 * 1024;
constexpr DWORD kChunk = 1024 * 1024;

bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A failure with the code GetLastError holds for it now.
Status Failure() { return LastErrorStatus(); }

// A failed open: not found, or another failure, with its code.
Status OpenFailure() {
  const DWORD error = LastError();
  return Status::Failure(IsNotFound(error) ? StatusKind::kNotFound : StatusKind::kFailed, error);
}

// A failure that the system did not report: a file found not to be what it must be.
Status Refusal(DWORD error) { return Status::Failure(StatusKind::kFailed, error); }

// What an operation that could not hold its data in memory reports (see base/boundary.h).
const Status kOutOfMemory = Status::Failure(StatusKind::kOutOfMemory, ERROR_NOT_ENOUGH_MEMORY);

Result<std::string> ReadAll(HANDLE file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return Failure();
  if (static_cast<std::uint64_t>(size.QuadPart) > kMaxFileSize)
    return Refusal(ERROR_FILE_TOO_LARGE);
  std::string content;
  content.reserve(static_cast<std::size_t>(size.QuadPart));
  const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, chunk.get(), kChunk, &read, nullptr)) return Failure();
    if (read == 0) return content;
    if (content.size() + read > kMaxFileSize) return Refusal(ERROR_FILE_TOO_LARGE);
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

// Tries for a fresh name before WriteNewFile gives up: a clash needs a guessed 64-bit suffix.
constexpr int kNewNameAttempts = 4;

// Opens `path` for writing as `disposition` says, without following a reparse point in its
// place and without changing its content.
// A file it creates gets `security` (null: the folder's inherited security).
UniqueFile OpenForWriting(const FilePath& path, DWORD disposition, DWORD access,
                          SECURITY_ATTRIBUTES* security) {
  return UniqueFile(CreateFileW(path.c_str(), access, 0, security, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Writes `content` into `file` from its start, cutting off what was there, and closes it.
Status ReplaceContent(UniqueFile file, std::string_view content, SyncMode sync) {
  if (!SetEndOfFile(file.get()) || !WriteAll(file.get(), content)) return Failure();
  if (sync == SyncMode::kFlush && !FlushFileBuffers(file.get())) return Failure();
  // Closed here, not by the destructor: a write may report its failure only at the close.
  return CloseHandle(file.release()) ? OkStatus() : Failure();
}

// Sixteen hex digits from the system's random number generator.
Result<std::wstring> RandomSuffix() {
  std::array<unsigned char, 8> bytes{};
  if (!RtlGenRandom(bytes.data(), static_cast<ULONG>(bytes.size()))) return Failure();
  std::wstring suffix;
  for (const unsigned char byte : bytes) AppendHexByte(suffix, byte, HexCase::kLower);
  return suffix;
}

// Removes the name `path` through a handle opened on that name, so that a link there goes and
// what it leads to stays (Wine's DeleteFileW would remove a Unix link's target). A read-only
// file, as a failed replace may leave our temporary file, loses that attribute first, but only
// when it is one plain file: through a hard link the attribute belongs to another name too.
Status RemoveName(const FilePath& path) {
  UniqueFile file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return OpenFailure();
  if (const Status named = CheckOpenedByThatName(file.get(), path); !named.ok()) return named;
  const Status marked = MarkForDeletion(file.get());
  if (marked.ok() || marked.system_error() != ERROR_ACCESS_DENIED) return marked;
  if (const Status plain = CheckPlainFileAt(file.get(), path); !plain.ok()) return plain;
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof(basic))) {
    return Failure();
  }
  return MarkForDeletion(file.get());
}

// ReplaceFileW carries the replaced file's attributes over on Windows; Wine drops them. Put back
// the ones that matter for the hosts file where they went missing.
void KeepAttributes(const FilePath& path, DWORD old_attributes) {
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  const DWORD now = GetFileAttributesW(path.c_str());
  if (old_attributes == INVALID_FILE_ATTRIBUTES || now == INVALID_FILE_ATTRIBUTES) return;
  const DWORD wanted = (now & ~kKept) | (old_attributes & kKept);
  if (wanted != now) SetFileAttributesW(path.c_str(), wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted);
}

class Win32FileSystem final : public FileSystem {
 public:
  explicit Win32FileSystem(FilePrivacy privacy) {
    if (privacy == FilePrivacy::kAdministratorsOnly) {
      private_ = std::make_unique<PrivateSecurity>(PrivateObject::kFile);
    }
  }

  Result<std::string> ReadWhole(const FilePath& path) override { return Read(path, false); }
  Result<std::string> ReadPlainFile(const FilePath& path) override { return Read(path, true); }

  Status WriteWhole(const FilePath& path, std::string_view content, SyncMode sync) override {
    return Guarded([&] { return Write(path, content, sync); }, kOutOfMemory);
  }

  Status WriteNewFile(const FilePath& stem, std::string_view content, SyncMode sync,
                      FilePath& created) override {
    return Guarded([&] { return WriteNew(stem, content, sync, created); }, kOutOfMemory);
  }

  void RemoveNewFiles(const FilePath& stem) override {
    (void)Guarded(
        [&] {
          RemoveLeftovers(stem);
          return OkStatus();
        },
        kOutOfMemory);
  }

  Status ReplaceKeepingBackup(const FilePath& target, const FilePath& replacement,
                              const FilePath& backup) override {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    // No merge-error flags: a replacement that cannot take on the target's security descriptor
    // is not swapped in.
    if (ReplaceFileW(target.c_str(), replacement.c_str(), backup.c_str(), 0, nullptr, nullptr)) {
      KeepAttributes(target, attributes);
      return OkStatus();
    }
    // ERROR_UNABLE_TO_REMOVE_REPLACED, ERROR_UNABLE_TO_MOVE_REPLACEMENT (with a backup name) and
    // any other error leave both files under their own names; only this one does not.
    const DWORD error = LastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
      return Status::Failure(StatusKind::kPartial, error);
    }
    return Status::Failure(StatusKind::kFailed, error);
  }

  Status MoveReplacing(const FilePath& from, const FilePath& to) override {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return OkStatus();
    return OpenFailure();
  }

  Status Remove(const FilePath& path) override {
    return Guarded([&] { return RemoveName(path); }, kOutOfMemory);
  }

  bool Exists(const FilePath& path) override {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES || !IsNotFound(LastError());
  }

  bool OpenToOthers(const FilePath& path) override {
    if (!private_) return false;
    const UniqueFile file(CreateFileW(
        path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file && !CheckAdmitsNoOthers(file.get()).ok();
  }

 private:
  // Shares everything: reading must not get in the way of the resolver or an editor.
  static Result<std::string> Read(const FilePath& path, bool plain_only) {
    return Guarded(
        [&]() -> Result<std::string> {
          const DWORD flags =
              FILE_FLAG_SEQUENTIAL_SCAN | (plain_only ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
          UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, flags, nullptr));
          if (!file) return OpenFailure();
          const Status plain = plain_only ? CheckPlainFileAt(file.get(), path) : OkStatus();
          return plain.ok() ? ReadAll(file.get()) : Result<std::string>(plain);
        },
        kOutOfMemory);
  }

  Status Write(const FilePath& path, std::string_view content, SyncMode sync) {
    // The existing file is opened without truncating it, and emptied only once it has passed
    // the checks. CREATE_NEW makes a missing one; it fails on anything already there, a dangling
    // link included, where CREATE_ALWAYS would create the file the link names.
    if (!CanCreatePrivately()) return Refusal(ERROR_INVALID_SECURITY_DESCR);
    UniqueFile file = OpenForWriting(path, OPEN_EXISTING, GENERIC_WRITE, nullptr);
    if (!file && IsNotFound(LastError())) {
      file = OpenForWriting(path, CREATE_NEW, GENERIC_WRITE, NewFileSecurity());
    }
    if (!file) return OpenFailure();
    if (const Status plain = CheckPlainFileAt(file.get(), path); !plain.ok()) return plain;
    return ReplaceContent(std::move(file), content, sync);
  }

  Status WriteNew(const FilePath& stem, std::string_view content, SyncMode sync,
                  FilePath& created) {
    if (!CanCreatePrivately()) return Refusal(ERROR_INVALID_SECURITY_DESCR);
    for (int attempt = 0; attempt < kNewNameAttempts; ++attempt) {
      const Result<std::wstring> suffix = RandomSuffix();
      if (!suffix) return suffix.status();
      FilePath name = stem;
      name += L"-" + *suffix;
      UniqueFile file = OpenForWriting(name, CREATE_NEW, GENERIC_WRITE, NewFileSecurity());
      if (!file) {
        const DWORD error = LastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
        return OpenFailure();
      }
      created = std::move(name);
      if (const Status plain = CheckPlainFileAt(file.get(), created); !plain.ok()) return plain;
      return ReplaceContent(std::move(file), content, sync);
    }
    return Refusal(ERROR_FILE_EXISTS);
  }

  void RemoveLeftovers(const FilePath& stem) {
    const std::wstring prefix = stem.filename().wstring() + L"-";
    const FilePath pattern = stem.parent_path() / (prefix + L"*");
    WIN32_FIND_DATAW found{};
    UniqueFind search(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, 0));
    if (!search) return;
    do {
      const std::wstring_view name = found.cFileName;
      // The pattern also matches short names; only the long name counts.
      if (name.size() > prefix.size() && SamePath(name.substr(0, prefix.size()), prefix) &&
          (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        (void)RemoveName(stem.parent_path() / name);  // what stays goes at the next run
      }
    } while (FindNextFileW(search.get(), &found));
  }

  // False only for private files whose security could not be built: nothing is created then.
  bool CanCreatePrivately() const { return !private_ || static_cast<bool>(*private_); }
  // What a file it creates is given; null for the folder's inherited security.
  SECURITY_ATTRIBUTES* NewFileSecurity() { return private_ ? private_->attributes() : nullptr; }

  std::unique_ptr<PrivateSecurity> private_;  // null: files keep the folder's security
};

}  // namespace

Status MarkForDeletion(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  if (SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition))) {
    return OkStatus();
  }
  return LastErrorStatus();
}

std::unique_ptr<FileSystem> MakeWin32FileSystem(FilePrivacy privacy) {
  return std::make_unique<Win32FileSystem>(privacy);
}

}  // namespace kalvane
